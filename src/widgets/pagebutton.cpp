#include "src/widgets/pagebutton.h"

#include <QFrame>
#include <QToolButton>

QFrame *SetUpPage(QFrame *page, const char *name)
{
    page->setObjectName(QString::fromLatin1(name));
    page->resize(684, 498);
    page->setAutoFillBackground(true);
    auto *line = new QFrame(page);
    line->setObjectName(QStringLiteral("Bevel1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, 62, 684, 2);
    return line;
}

QToolButton *NewPageButton(QWidget *parent, const char *name, int x, int y)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, y, 108, 36);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(25, 25));
    button->setAutoRaise(false);
    return button;
}
