#include "widgets/pagebutton.h"

#include <QToolButton>

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
