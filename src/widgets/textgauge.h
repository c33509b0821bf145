// A small painted gauge: a value between a minimum and a maximum shown as a
// horizontal or vertical bar, a pie, a needle dial or text alone, with an
// optional text over it (percentage, value, remainder or a fixed caption)
// drawn in the inverse of what lies under it, and an alert colour once the
// value passes a threshold. The preview's volume indicator is one.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

#include <stdexcept>

enum TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
enum TTextKind { tkPercentDone, tkValueDone, tkValueRemaining, tkPercentRemaining };
enum TGaugeBorder { gbNone, gbSingle };

// A minimum above the maximum, or the reverse.
class EInvalidOperation : public std::logic_error
{
public:
    using std::logic_error::logic_error;
};

class TTextGauge : public QWidget
{
public:
    explicit TTextGauge(QWidget *parent = nullptr);

    static const QColor AlertColor;

    int MinValue() const { return FMin; }
    int MaxValue() const { return FMax; }
    int Progress() const { return FProgress; }
    int AlertValue() const { return FAlert; }
    TGaugeKind GaugeKind() const { return FKind; }
    TTextKind TextKind() const { return FTextKind; }
    bool ShowText() const { return FShowText; }
    bool customText() const { return FCustomText; }
    QString Caption() const { return FCaption; }
    TGaugeBorder BorderStyle() const { return FBorder; }
    QColor ForeColor() const { return FForeColor; }
    QColor BackColor() const { return FBackColor; }
    QColor Color() const { return FColor; }

    // Raise EInvalidOperation for a minimum above the maximum (or the
    // reverse), unless Loading; Progress follows into the new range.
    void SetMinValue(int value);
    void SetMaxValue(int value);
    // Clamped into the range; repaints only when the percentage changes.
    void SetProgress(int value);
    void SetAlertValue(int value);
    void SetGaugeKind(TGaugeKind kind);
    void SetTextKind(TTextKind kind);
    void SetShowText(bool show);
    void SetcustomText(bool custom);
    void SetCaption(const QString &caption);
    void SetBorderStyle(TGaugeBorder border);
    void SetForeColor(const QColor &color);
    void SetBackColor(const QColor &color);
    void SetColor(const QColor &color);

    // Set while a layout is being loaded: the range checks are skipped.
    bool Loading = false;

    // round((Progress - Min) × 100 / (Max - Min)), halves to even; 0 for an
    // empty range.
    int PercentDone() const;
    // The alert colour past the threshold (above it for the "done" kinds,
    // below it for the "remaining" kinds), else ForeColor.
    QColor BarColor() const;
    // The text drawn over the gauge.
    QString Text() const;
    // The whole control as it is painted.
    QImage Render() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect PaintRect() const;
    void DrawGauge(QPainter &painter, const QRect &r) const;
    template <class T> void Set(T &field, const T &value);

    int FMin = 0, FMax = 100, FProgress = 0, FAlert = 80;
    TGaugeKind FKind = gkHorizontalBar;
    TTextKind FTextKind = tkValueDone;
    bool FShowText = true;
    bool FCustomText = false;
    QString FCaption = QStringLiteral("%d");
    TGaugeBorder FBorder = gbSingle;
    QColor FForeColor = QColor(0xC0, 0xDC, 0xC0);
    QColor FBackColor = Qt::white;
    QColor FColor;
};
