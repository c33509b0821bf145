// The about page: the program's name and version, its author, the
// libraries it is built with, the programs it drives and the plugins the
// preview needs, with a link to the home page (the help page shipped with
// the program when no home page was set at build time) and one to write to
// the author. The texts are set once, when the page is made.
#pragma once

#include <QFrame>

class QLabel;
class QToolButton;
class TLinkEdit;

class TAProposFrame : public QFrame
{
    Q_OBJECT
public:
    // homePage and mail: the home-page location and the author's address
    // the texts and the mail link use.
    explicit TAProposFrame(QWidget *parent = nullptr, const QString &homePage = DefaultHomePage(),
                           const QString &mail = DefaultMail());

    static QString DefaultHomePage();
    static QString DefaultMail();
    // "Tavrel 1.0.3 fr": the title, and the subject of the mail link.
    static const QString ProductLine;

    // The markup of each text box.
    static QString HomeText(const QString &homePage);
    static QString MailText(const QString &mail);
    static QString MainText(const QString &homePage, const QString &mail);

    QFrame *Bevel1;
    QToolButton *ImageBtn;  // shows the main window's about image
    QLabel *JvLabel1;
    QToolButton *OptionsBtn;  // bound to the about action
    TLinkEdit *le1;
    TLinkEdit *leHome;
    TLinkEdit *leMail;
    QLabel *Image1;

    // Handlers shared by the three text boxes.
    static void leUrlHint(const QString &link, QString &hint);
    static void leMailHint(const QString &link, QString &hint);
    static void leUrlClick(const QString &link);
    // Writes to the author, whatever mail link was clicked.
    void leMailClick(const QString &link);

private:
    TLinkEdit *NewLinkEdit(const char *name, const QRect &place, const QColor &linkColour);

    QString FMail;
};
