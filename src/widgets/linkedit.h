// TLinkEdit: a read-only rich-text box that shows a text written in the
// tag markup of linkmarkup.h (bold, colours, sizes, fonts, line breaks with
// alignment, url, mail and custom links). The pointer turns into a hand
// over a link; a button released over a link emits the click signal of its
// kind with the link's target, which the owner interprets.
#pragma once

#include "src/widgets/linkmarkup.h"

#include <QTextEdit>

#include <functional>

class TLinkEdit;

// A message panel read as a label: no border, the window's colour, the font
// of the dialogs' messages (Arial), at geometry inside parent.
TLinkEdit *NewMessagePanel(QWidget *parent, const char *name, const QRect &geometry, Qt::Alignment alignment);

class TLinkEdit : public QTextEdit
{
    Q_OBJECT
public:
    // link: the target; linkhint: the hint to show, which the handler may
    // change.
    using TLinkHintEvent = std::function<void(const QString &link, QString &linkhint)>;

    explicit TLinkEdit(QWidget *parent = nullptr);

    // The markup source; setting it renders it at once and shows the control.
    QString RichText() const { return FRichText; }
    void SetRichText(const QString &text);

    // Colours of the three link kinds (navy unless set); used by the next
    // SetRichText.
    QColor UrlColor, MailColor, LinkColor;
    // Alignment of the paragraphs no line-break tag aligns; used by the next
    // SetRichText.
    Qt::Alignment Alignment = Qt::AlignLeft;

    // Called with the target when the pointer comes over a link of the
    // kind; what it leaves in linkhint becomes the control's hint.
    TLinkHintEvent OnUrlHint, OnMailHint, OnCustomLinkHint;

    // No border and the face colour of the window behind: the control then
    // reads as a label, as every message panel does.
    void ReadAsLabel();

    // The link under a point of the viewport, if any.
    std::optional<TMarkupLink> LinkAtPoint(QPoint viewportPos) const;
    // Index in the displayed text of the character under a point of the
    // viewport (a line break counts as one character); -1 over no character.
    int CharIndexAt(QPoint viewportPos) const;
    bool HintsOn() const { return FHintsOn; }

signals:
    void UrlClick(const QString &link);
    void MailClick(const QString &link);
    void CustomLinkClick(const QString &link);

protected:
    void changeEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    TMarkupDefaults Defaults() const;
    void ResetAttributes();
    void PointerMoved(QPoint viewportPos);

    QString FRichText;
    TMarkupState FState;
    bool FHintsOn = false;
};
