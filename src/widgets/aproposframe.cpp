#include "src/widgets/aproposframe.h"

#include "src/platform/shell.h"
#include "src/platform/shellopen.h"
#include "src/widgets/linkedit.h"
#include "src/widgets/pagebutton.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPainter>
#include <QRadialGradient>
#include <QToolButton>

const QString TAProposFrame::ProductLine = QStringLiteral("Tavrel 1.0.3 fr");

namespace {

const QString Author = QStringLiteral("Morvek");

QFont Arial(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The decorative picture: a recordable disc.
QPixmap DiscPicture()
{
    QPixmap picture(73, 57);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(36.5, 28.5);
    QRadialGradient face(centre, 27);
    face.setColorAt(0.0, QColor(250, 250, 255));
    face.setColorAt(0.55, QColor(190, 200, 225));
    face.setColorAt(0.8, QColor(235, 215, 240));
    face.setColorAt(1.0, QColor(160, 170, 200));
    painter.setPen(QPen(QColor(110, 110, 130), 1));
    painter.setBrush(face);
    painter.drawEllipse(centre, 27, 27);
    painter.setBrush(QColor(225, 225, 230));
    painter.drawEllipse(centre, 8, 8);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, 3, 3);
    return picture;
}

}  // namespace

QString TAProposFrame::DefaultHomePage()
{
    return HomePageLocation();
}

QString TAProposFrame::DefaultMail()
{
    return AuthorMailAddress();
}

QString TAProposFrame::HomeText(const QString &homePage)
{
    return QStringLiteral("* <URL %1>Homepage de <b>%2</b></URL>").arg(homePage, QStringLiteral("Tavrel"));
}

QString TAProposFrame::MailText(const QString &mail)
{
    return QStringLiteral("* <mail %1>E-mail de <b>%2</b></mail>").arg(mail, Author);
}

QString TAProposFrame::MainText(const QString &homePage, const QString &mail)
{
    const QString credits =
        QStringLiteral(
            "<i><b>Tavrel</b> a été écrit par <b>Morvek</b>. Il est construit avec les bibliothèques "
            "<url https://www.qt.io>Qt</url>, <url https://gstreamer.freedesktop.org>GStreamer</url>, "
            "<url https://ffmpeg.org>FFmpeg</url> et <url http://libburnia-project.org>libburn</url>."
            "<br><br>"
            "Pour faire fonctionner ce programme, il faut les trois programmes eac3to, tsmuxer et imgburn: "
            "ils font partie de Tavrel et sont installés avec lui. Pour utiliser à leur place des programmes "
            "compatibles, on trouve les freewares Windows "
            "<url https://forum.doom9.org/showthread.php?t=125966>eac3to</url>, "
            "<url https://github.com/justdan96/tsMuxer/releases>tsmuxer</url> et "
            "<url https://www.imgburn.com/index.php?act=download>ImgBurn</url> sur leurs sites."
            "<br><br>"
            "Il est aussi conseillé d'installer les greffons indispensables pour visionner les fichiers "
            "m2ts: "
            "<url https://gstreamer.freedesktop.org/modules/gst-libav.html>GStreamer libav</url> "
            "(paquet gstreamer1.0-libav)."
            "<br><br>"
            "Sa dernière mise à jour date du %1.</i><br><br>")
            .arg(QStringLiteral("3/07/2011"));
    const QString help =
        QStringLiteral(
            "<i>Pour avoir une aide sur son utilisation ou des mises à jour éventuelles rendez-vous sur "
            "<url %1>mon site web</url>. Profitez-en pour cliquer sur les liens de mes sponsors.</i><br><br>"
            "<i>Sachez que je lis tous les <mail %2>e-mail</mail> que je reçois. Mais je réponds rarement, "
            "faute de temps!<br></i>")
            .arg(homePage, mail);
    return credits + help;
}

void TAProposFrame::leUrlHint(const QString &link, QString &hint)
{
    hint = QStringLiteral("Cliquez ici pour ouvrir le site web %1\r\ndans votre navigateur par défaut")
               .arg(link);
}

void TAProposFrame::leMailHint(const QString &link, QString &hint)
{
    hint = QStringLiteral("Cliquez pour envoyer un e-mail à %1").arg(link);
}

void TAProposFrame::leUrlClick(const QString &link)
{
    OpenDocument(link);
}

void TAProposFrame::leMailClick(const QString &)
{
    SendMail(FMail, QStringLiteral("A propos de %1").arg(ProductLine), QString());
}

TAProposFrame::TAProposFrame(QWidget *parent, const QString &homePage, const QString &mail)
    : QFrame(parent), FMail(mail)
{
    // The header strip and its bottom line.
    Bevel1 = SetUpPage(this, "aproposFrame");

    ImageBtn = new QToolButton(this);
    ImageBtn->setObjectName(QStringLiteral("ImageBtn"));
    ImageBtn->setAutoRaise(true);
    ImageBtn->setIconSize(QSize(25, 25));
    ImageBtn->setGeometry(16, 12, 40, 40);

    JvLabel1 = new QLabel(ProductLine, this);
    JvLabel1->setObjectName(QStringLiteral("JvLabel1"));
    JvLabel1->setFont(Arial(16, true));
    QPalette maroon = JvLabel1->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    JvLabel1->setPalette(maroon);
    auto *shadow = new QGraphicsDropShadowEffect(JvLabel1);
    shadow->setOffset(1, 1);
    shadow->setBlurRadius(0);
    shadow->setColor(Qt::black);
    JvLabel1->setGraphicsEffect(shadow);
    JvLabel1->setGeometry(72, 20, 300, 24);

    OptionsBtn = NewPageButton(this, "OptionsBtn", 568, 8);

    le1 = NewLinkEdit("le1", QRect(21, 80, 641, 305), Qt::black);
    le1->ReadAsLabel();
    leHome = NewLinkEdit("leHome", QRect(21, 404, 177, 25), QColor(0, 0, 128));
    leMail = NewLinkEdit("leMail", QRect(21, 436, 177, 25), QColor(0, 0, 128));
    for (TLinkEdit *box : {leHome, leMail}) {
        box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QPalette navy = box->palette();
        navy.setColor(QPalette::Text, QColor(0, 0, 128));
        box->setPalette(navy);
    }

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(214, 404, 73, 57);
    Image1->setScaledContents(true);
    Image1->setPixmap(DiscPicture());
    Image1->setToolTip(QStringLiteral("Vos films AVCHD sur des DVD ordinaires"));

    le1->SetRichText(MainText(homePage, mail));
    leHome->SetRichText(HomeText(homePage));
    leMail->SetRichText(MailText(mail));
}

TLinkEdit *TAProposFrame::NewLinkEdit(const char *name, const QRect &place, const QColor &linkColour)
{
    auto *box = new TLinkEdit(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(place);
    box->setFont(Arial(12));
    box->UrlColor = linkColour;
    box->MailColor = linkColour;
    box->LinkColor = linkColour;
    box->OnUrlHint = &TAProposFrame::leUrlHint;
    box->OnMailHint = &TAProposFrame::leMailHint;
    connect(box, &TLinkEdit::UrlClick, this, &TAProposFrame::leUrlClick);
    connect(box, &TLinkEdit::MailClick, this, &TAProposFrame::leMailClick);
    return box;
}
