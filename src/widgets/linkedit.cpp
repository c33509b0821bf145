#include "src/widgets/linkedit.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontInfo>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>

namespace {

// Sizes the markup asks for are drawn within what a text box can lay out.
constexpr double kSmallestPoints = 1;
constexpr double kLargestPoints = 300;

QTextCharFormat CharFormat(const TMarkupAttributes &a)
{
    QTextCharFormat format;
    format.setFontFamilies(QStringList {a.FontName});
    format.setFontPointSize(std::clamp(a.Size, kSmallestPoints, kLargestPoints));
    format.setFontWeight(a.Bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(a.Italic);
    format.setFontUnderline(a.Underline);
    format.setFontStrikeOut(a.StrikeOut);
    format.setForeground(QColor::fromRgba(a.Color));
    return format;
}

// The document counts one position per displayed character only when the
// characters it would take for paragraph ends ("\r\n" even counts as one)
// stay inside their paragraph as line separators.
QString DocumentText(QString text)
{
    for (QChar &c : text)
        if (c == u'\r' || c == u'\n' || c == QChar(0xFDD0) || c == QChar(0xFDD1))
            c = QChar::LineSeparator;
    return text;
}

Qt::Alignment BlockAlignment(TParagraphAlign align, Qt::Alignment control)
{
    switch (align) {
    case TParagraphAlign::Left: return Qt::AlignLeft;
    case TParagraphAlign::Right: return Qt::AlignRight;
    case TParagraphAlign::Center: return Qt::AlignHCenter;
    case TParagraphAlign::Control: break;
    }
    return control;
}

}  // namespace

TLinkEdit *NewMessagePanel(QWidget *parent, const char *name, const QRect &geometry, Qt::Alignment alignment)
{
    auto *panel = new TLinkEdit(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFont(QFont(QStringLiteral("Arial"), 9));
    panel->ReadAsLabel();
    panel->Alignment = alignment;
    panel->setGeometry(geometry);
    return panel;
}

TLinkEdit::TLinkEdit(QWidget *parent)
    : QTextEdit(parent), UrlColor(0, 0, 128), MailColor(0, 0, 128), LinkColor(0, 0, 128)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::ArrowCursor);
    ResetAttributes();
}

void TLinkEdit::ReadAsLabel()
{
    setFrameShape(QFrame::NoFrame);
    QPalette face = palette();
    face.setColor(QPalette::Base, face.color(QPalette::Window));
    setPalette(face);
}

TMarkupDefaults TLinkEdit::Defaults() const
{
    TMarkupDefaults d;
    const QFont f = font();
    d.Font.FontName = f.family();
    d.Font.Size = f.pointSizeF() > 0 ? f.pointSizeF() : QFontInfo(f).pointSizeF();
    d.Font.Color = palette().color(QPalette::Text).rgba();
    d.Font.Bold = f.bold();
    d.Font.Italic = f.italic();
    d.Font.Underline = f.underline();
    d.Font.StrikeOut = f.strikeOut();
    d.UrlColor = UrlColor.rgba();
    d.MailColor = MailColor.rgba();
    d.LinkColor = LinkColor.rgba();
    d.BtnFace = QApplication::palette().color(QPalette::Button).rgba();
    d.AppWorkspace = QApplication::palette().color(QPalette::Dark).rgba();
    return d;
}

// The attributes start again from the control's font whenever it changes.
void TLinkEdit::ResetAttributes()
{
    FState = TMarkupState::FromFont(Defaults().Font);
}

void TLinkEdit::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        ResetAttributes();
    QTextEdit::changeEvent(event);
}

void TLinkEdit::SetRichText(const QString &text)
{
    setVisible(false);
    FRichText = text;
    const TMarkupText rendered = RenderMarkup(text, FState, Defaults());
    QTextDocument *doc = document();
    doc->clear();
    QTextCursor cursor(doc);
    for (const TMarkupRun &run : rendered.Runs) {
        const QTextCharFormat format = CharFormat(run.Attributes);
        const QStringList lines = DocumentText(rendered.Text.mid(run.Start, run.Length)).split(kMarkupBreak);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                cursor.insertBlock(QTextBlockFormat(), format);
            cursor.insertText(lines[i], format);
        }
    }
    int paragraph = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next(), ++paragraph) {
        QTextCursor blockCursor(block);
        QTextBlockFormat format = block.blockFormat();
        const TParagraphAlign align =
            paragraph < int(rendered.Aligns.size()) ? rendered.Aligns[paragraph] : TParagraphAlign::Control;
        format.setAlignment(BlockAlignment(align, Alignment));
        blockCursor.setBlockFormat(format);
    }
    setVisible(true);
}

int TLinkEdit::CharIndexAt(QPoint viewportPos) const
{
    const QPointF point(viewportPos.x() + horizontalScrollBar()->value(),
                        viewportPos.y() + verticalScrollBar()->value());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout *layout = block.layout();
        const QPointF origin = layout->position();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const QRectF rect = line.naturalTextRect().translated(origin);
            if (point.y() < rect.top() || point.y() >= rect.bottom())
                continue;
            if (point.x() < rect.left() || point.x() >= rect.right())
                return -1;
            const int inBlock = line.xToCursor(point.x() - origin.x(), QTextLine::CursorOnCharacter);
            if (inBlock < line.textStart() || inBlock >= line.textStart() + line.textLength())
                return -1;
            return block.position() + inBlock;
        }
    }
    return -1;
}

std::optional<TMarkupLink> TLinkEdit::LinkAtPoint(QPoint viewportPos) const
{
    const int index = CharIndexAt(viewportPos);
    if (index < 0)
        return std::nullopt;
    return LinkAt(FRichText, index);
}

void TLinkEdit::PointerMoved(QPoint viewportPos)
{
    const std::optional<TMarkupLink> link = LinkAtPoint(viewportPos);
    if (!link) {
        viewport()->setCursor(Qt::ArrowCursor);
        FHintsOn = false;
        return;
    }
    viewport()->setCursor(Qt::PointingHandCursor);
    const TLinkHintEvent &event = link->Kind == TLinkKind::Url    ? OnUrlHint
                                  : link->Kind == TLinkKind::Mail ? OnMailHint
                                                                  : OnCustomLinkHint;
    if (event) {
        QString hint = toolTip();
        event(link->Target, hint);
        setToolTip(hint);
        FHintsOn = true;
    }
}

void TLinkEdit::mouseMoveEvent(QMouseEvent *event)
{
    PointerMoved(event->position().toPoint());
    QTextEdit::mouseMoveEvent(event);
}

void TLinkEdit::mouseReleaseEvent(QMouseEvent *event)
{
    QTextEdit::mouseReleaseEvent(event);
    const std::optional<TMarkupLink> link = LinkAtPoint(event->position().toPoint());
    if (!link)
        return;
    switch (link->Kind) {
    case TLinkKind::Url: emit UrlClick(link->Target); break;
    case TLinkKind::Mail: emit MailClick(link->Target); break;
    case TLinkKind::Custom: emit CustomLinkClick(link->Target); break;
    }
}

// The hint shows only while the pointer is over a link that gave one.
bool TLinkEdit::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        if (FHintsOn && !toolTip().isEmpty())
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), toolTip(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QTextEdit::viewportEvent(event);
}
