#include "src/widgets/textgauge.h"

#include <QPainter>
#include <QPainterPath>

#include <climits>
#include <cmath>

const QColor TTextGauge::AlertColor(0xEE, 0xA2, 0xA2);

TTextGauge::TTextGauge(QWidget *parent) : QWidget(parent)
{
    resize(100, 100);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

template <class T> void TTextGauge::Set(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    update();
}

void TTextGauge::SetMinValue(int value)
{
    if (value > FMax && !Loading)
        throw EInvalidOperation(
            QStringLiteral("Value must be between %1 and %2").arg(-2147483647).arg(FMax - 1).toStdString());
    if (value == FMin)
        return;
    FMin = value;
    if (FProgress < value)
        FProgress = value;
    update();
}

void TTextGauge::SetMaxValue(int value)
{
    if (value < FMin && !Loading)
        throw EInvalidOperation(
            QStringLiteral("Value must be between %1 and %2").arg(FMin + 1).arg(2147483647).toStdString());
    if (value == FMax)
        return;
    FMax = value;
    if (FProgress > value)
        FProgress = value;
    update();
}

void TTextGauge::SetProgress(int value)
{
    value = std::max(FMin, std::min(FMax, value));
    if (value == FProgress)
        return;
    const int before = PercentDone();
    FProgress = value;
    if (PercentDone() != before)
        update();
}

void TTextGauge::SetAlertValue(int value)
{
    Set(FAlert, value);
}
void TTextGauge::SetGaugeKind(TGaugeKind kind)
{
    Set(FKind, kind);
}
void TTextGauge::SetTextKind(TTextKind kind)
{
    Set(FTextKind, kind);
}
void TTextGauge::SetShowText(bool show)
{
    Set(FShowText, show);
}
void TTextGauge::SetcustomText(bool custom)
{
    Set(FCustomText, custom);
}
void TTextGauge::SetCaption(const QString &caption)
{
    Set(FCaption, caption);
}
void TTextGauge::SetBorderStyle(TGaugeBorder border)
{
    Set(FBorder, border);
}
void TTextGauge::SetForeColor(const QColor &color)
{
    Set(FForeColor, color);
}
void TTextGauge::SetBackColor(const QColor &color)
{
    Set(FBackColor, color);
}
void TTextGauge::SetColor(const QColor &color)
{
    Set(FColor, color);
}

int TTextGauge::PercentDone() const
{
    if (FMax == FMin)
        return 0;
    // nearbyint rounds halves to even in the default rounding mode.
    return int(
        std::nearbyint(double(std::int64_t(FProgress) - FMin) * 100.0 / double(std::int64_t(FMax) - FMin)));
}

QColor TTextGauge::BarColor() const
{
    const bool done = FTextKind == tkPercentDone || FTextKind == tkValueDone;
    const bool alert = done ? FProgress > FAlert : FProgress < FAlert;
    return alert ? AlertColor : FForeColor;
}

QString TTextGauge::Text() const
{
    if (FCustomText)
        return FCaption;
    switch (FTextKind) {
    case tkPercentDone: return QString::number(PercentDone()) + u'%';
    // The caption is a format with one integer; only "%d" is filled, so a
    // caption with other conversions cannot read what is not there.
    case tkValueDone: return QString(FCaption).replace(QStringLiteral("%d"), QString::number(FProgress));
    case tkValueRemaining:
        return QString(FCaption).replace(QStringLiteral("%d"), QString::number(FMax - FProgress));
    case tkPercentRemaining: return QString::number(100 - PercentDone()) + u'%';
    }
    return QString();
}

QRect TTextGauge::PaintRect() const
{
    return FBorder == gbSingle ? rect().adjusted(1, 1, -1, -1) : rect();
}

// Coordinates follow the gauge's original drawing: right and bottom edges
// are exclusive, sizes counted from the paint rectangle.
void TTextGauge::DrawGauge(QPainter &painter, const QRect &r) const
{
    const QColor bar = BarColor();
    const QColor around = FColor.isValid() ? FColor : palette().color(QPalette::Window);
    const int percent = PercentDone();
    const int left = r.left(), top = r.top();
    const int bottom = r.top() + r.height();  // exclusive
    switch (FKind) {
    case gkText: painter.fillRect(r, FBackColor); break;
    case gkHorizontalBar: {
        painter.fillRect(r, FBackColor);
        const int w = r.width(), h = r.height();
        const int length = std::min(w, int(std::lround(percent * w / 100.0)));
        if (length >= 1)
            painter.fillRect(QRect(QPoint(left, top), QPoint(length - 1, h - 1)), bar);
        break;
    }
    case gkVerticalBar: {
        painter.fillRect(r, FBackColor);
        const int w = r.width(), h = r.height();
        int filled = int(std::lround(percent * h / 100.0));
        if (filled >= h)
            filled = h - 1;
        if (filled > 0)
            painter.fillRect(QRect(QPoint(left, h - filled), QPoint(w - 1, h - 1)), bar);
        break;
    }
    case gkPie: {
        painter.fillRect(r, around);
        const int extra = FBorder == gbSingle ? 1 : 0;
        const int w = r.width() + extra, h = r.height() + extra;
        const QRect ellipse(QPoint(left, top), QPoint(w - 1, h - 1));
        painter.setPen(bar);
        painter.setBrush(FBackColor);
        painter.drawEllipse(ellipse);
        if (percent > 0) {
            // From the radial at angle a (counter-clockwise from the top
            // going round by the percentage) back to the top.
            const double a = M_PI * (percent / 50.0 + 0.5);
            const double mx = w / 2, my = h / 2;
            const double start = std::atan2(my * std::sin(a), -mx * std::cos(a)) * 180 / M_PI;
            double span = 90 - start;
            while (span <= 0)
                span += 360;
            while (span > 360)
                span -= 360;
            painter.setBrush(bar);
            painter.drawPie(ellipse, int(std::lround(start * 16)), int(std::lround(span * 16)));
        }
        break;
    }
    case gkNeedle: {
        painter.fillRect(r, around);
        const int extra = FBorder == gbSingle ? 1 : 0;
        const int w = r.width() + extra, h = r.height() + extra;
        painter.setPen(bar);
        painter.setBrush(FBackColor);
        painter.drawPie(QRect(QPoint(left, top), QPoint(w - 1, 2 * h - 2)), 0, 180 * 16);
        painter.drawLine(left, bottom, left + w, bottom);
        if (percent > 0) {
            const int m = width() / 2;
            const double a = M_PI * percent / 100.0;
            painter.drawLine(QPoint(m, bottom - 1),
                             QPoint(int(std::lround(m * (1 - std::cos(a)))),
                                    int(std::lround((bottom - 1) * (1 - std::sin(a))))));
        }
        break;
    }
    }
}

QImage TTextGauge::Render() const
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    const QRect r = PaintRect();
    QImage gauge(size(), QImage::Format_RGB32);
    gauge.fill(Qt::black);
    {
        QPainter painter(&gauge);
        DrawGauge(painter, r);
    }
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(0, 0, gauge);
    if (FShowText) {
        // White on black, combined the same way: the text shows in the
        // inverse of whatever lies under it.
        QImage text(size(), QImage::Format_RGB32);
        text.fill(Qt::black);
        QPainter textPainter(&text);
        textPainter.setFont(font());
        textPainter.setPen(Qt::white);
        textPainter.setClipRect(r);
        const QString caption = Text();
        const QFontMetrics metrics(font());
        const int x = (r.width() - metrics.horizontalAdvance(caption) + 1) / 2;
        const int y = (r.height() - metrics.height() + 1) / 2;
        textPainter.drawText(x, y + metrics.ascent(), caption);
        textPainter.end();
        painter.drawImage(0, 0, text);
    }
    return image;
}

void TTextGauge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(0, 0, Render());
}
