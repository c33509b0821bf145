#include "src/app/listeframe.h"

#include "src/clips/fichierlistbox.h"
#include "media/clipname.h"
#include "src/platform/shell.h"
#include "src/platform/shellopen.h"
#include "src/platform/timetexts.h"
#include "src/preview/avsource.h"
#include "src/preview/mediadevice.h"
#include "src/preview/viewframe.h"
#include "src/widgets/linkedit.h"
#include "src/widgets/pagebutton.h"
#include "src/widgets/textgauge.h"

#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QToolButton>

namespace {

// Rows of a fixed height, as the list was designed.
class TFixedRowDelegate : public QStyledItemDelegate
{
public:
    TFixedRowDelegate(int height, QObject *parent) : QStyledItemDelegate(parent), FHeight(height) { }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), FHeight);
    }

private:
    int FHeight;
};

}  // namespace

TListeFrame::TListeFrame(QWidget *parent, const TDeviceFactory &makeDevice) : QFrame(parent)
{
    Bevel1 = SetUpPage(this, "ListeFrame");

    FichiersBtn = NewPageButton(this, "FichiersBtn", 8, 8);
    DossierBtn = NewPageButton(this, "DossierBtn", 128, 8);
    ViderBtn = NewPageButton(this, "ViderBtn", 240, 8);
    OptionsBtn = NewPageButton(this, "OptionsBtn", 352, 8);
    AproposBtn = NewPageButton(this, "AproposBtn", 464, 8);
    QuitterBtn = NewPageButton(this, "QuitterBtn", 576, 8);

    lb = new TFichierListBox(this);
    lb->setObjectName(QStringLiteral("lb"));
    lb->setGeometry(16, 80, 273, 354);
    lb->setItemDelegate(new TFixedRowDelegate(14, lb));
    lb->setUniformItemSizes(true);
    lb->KeyDelete = true;
    lb->SelectionnerOuverts = false;
    lb->SetAcceptFiles(false);
    lb->ShowHint = false;
    lb->SetRecordClass(TlfCLass::M2tsFichier(makeDevice));
    lb->OnOpenTestExtension = &TListeFrame::lbOpenTestExtension;
    lb->OnCountsChange = [this](int iselcount, int icount) { lbCountsChange(iselcount, icount); };
    lb->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lb, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu *menu = NewSortMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(lb->viewport()->mapToGlobal(pos));
    });

    // Between the list and the counts line.
    cbTri = new QComboBox(this);
    cbTri->setObjectName(QStringLiteral("cbTri"));
    cbTri->setGeometry(16, 437, 273, 20);
    for (const TSortIndex *order : ChoosableSortIndexes)
        cbTri->addItem(SortChoiceText(*order), order->Key);
    connect(cbTri, &QComboBox::activated, this,
            [this](int row) { ChooseSort(ChoosableSortIndex(cbTri->itemData(row).toString())); });

    labCount = new QLabel(this);
    labCount->setObjectName(QStringLiteral("labCount"));
    labCount->setAlignment(Qt::AlignCenter);
    labCount->setGeometry(16, 460, 273, 14);

    viewFrame = new TviewFrame(this);
    viewFrame->setGeometry(300, 72, 376, 300);
    viewFrame->AvanceTrackBtn->move(337, viewFrame->AvanceTrackBtn->y());
    viewFrame->gaugeVolume->move(viewFrame->gaugeVolume->x(), 274);
    viewFrame->tb->move(20, viewFrame->tb->y());

    Disclaimer = new TLinkEdit(this);
    Disclaimer->setObjectName(QStringLiteral("Disclaimer"));
    Disclaimer->setGeometry(326, 296, 318, 137);
    Disclaimer->setFrameShape(QFrame::NoFrame);
    Disclaimer->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Disclaimer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = Disclaimer->palette();
    palette.setColor(QPalette::Base, QColor(240, 251, 255));
    Disclaimer->setPalette(palette);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(12);
    Disclaimer->setFont(arial);
    Disclaimer->UrlColor = Disclaimer->MailColor = Disclaimer->LinkColor = QColor(0, 0, 128);
    Disclaimer->Alignment = Qt::AlignHCenter;
    ShowWelcome();
    connect(Disclaimer, &TLinkEdit::UrlClick, this, &TListeFrame::DisclaimerUrlClick);

    DisquesBtn = NewPageButton(this, "DisquesBtn", 528, 448);
}

void TListeFrame::ShowWelcome()
{
    Disclaimer->SetRichText(QStringLiteral(
        "<Br> <B>Tavrel</B> est un programme de <B>Morvek</B> pour graver des fichiers m2ts de qualité FX au "
        "format AVCHD sur des DVD. <br><br>Pour avoir de l'aide sur son fonctionnement, visitez mon site web "
        "<url site>en cliquant ici</url>."));
    Disclaimer->setVisible(true);
}

void TListeFrame::ShowSortOrder(const TSortIndex &order)
{
    lb->SortBy(order);
    cbTri->setCurrentIndex(cbTri->findData(order.Key));
}

void TListeFrame::ChooseSort(const TSortIndex &order)
{
    ShowSortOrder(order);
    if (OnSortChosen)
        OnSortChosen(order);
}

QMenu *TListeFrame::NewSortMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("SortMenu"));
    auto *group = new QActionGroup(menu);
    for (const TSortIndex *order : ChoosableSortIndexes) {
        QAction *action = menu->addAction(SortChoiceText(*order));
        action->setCheckable(true);
        action->setChecked(order->Key == lb->SortIndex().Key);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, order] { ChooseSort(*order); });
    }
    return menu;
}

bool TListeFrame::ShowSources(TVideoSource *video, TAudioSource *audio)
{
    ShowWelcome();
    Disclaimer->setVisible(video == NoVideo && audio == NoAudio);
    return viewFrame->OpenSources(video, audio);
}

void TListeFrame::ShowUnreadable(const QString &fileName, const QString &reason)
{
    viewFrame->OpenSources(NoVideo, NoAudio);
    // The name is shown as it is, never read as markup.
    QString name = fileName;
    name.replace(u'<', u'\u2039').replace(u'>', u'\u203A');
    Disclaimer->SetRichText(QStringLiteral("<Br> <B>") + name
                            + QStringLiteral("</B> n'est pas une vidéo AVCHD lisible : ") + reason
                            + QStringLiteral(".<br><br>Il n'est pas mis sur un disque."));
    Disclaimer->setVisible(true);
}

bool TListeFrame::CloseViewer()
{
    const bool closed = viewFrame->ClosePreview();
    ShowWelcome();
    return closed;
}

void TListeFrame::DisclaimerUrlClick(const QString &link)
{
    if (link == QStringLiteral("site"))
        OpenDocument(HomePageLocation());
}

bool TListeFrame::lbOpenTestExtension(const QString &wfilename)
{
    return ClipExtensionLength(wfilename.toStdString()) > 0;
}

QString TListeFrame::CountsLine(int count, const QString &durationText)
{
    if (count == 0)
        return QStringLiteral("Aucun fichier");
    if (count == 1)
        return QStringLiteral("Un fichier : ") + durationText;
    return QString::number(count) + QStringLiteral(" fichiers : ") + durationText;
}

// The counts are read from the list; the total is that of every item, not
// of the selection.
void TListeFrame::lbCountsChange(int, int)
{
    std::int64_t total = 0;
    for (int i = 0; i < lb->count(); ++i)
        if (auto *clip = dynamic_cast<Tm2tsFichier *>(lb->Record(i)))
            total += clip->Device()->Duration();
    labCount->setText(CountsLine(lb->count(), QString::fromLatin1(FormatDuration(total))));
}
