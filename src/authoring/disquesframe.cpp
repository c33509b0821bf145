#include "src/authoring/disquesframe.h"

#include "src/authoring/disctexts.h"
#include "src/widgets/pagebutton.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QToolButton>

namespace {

QLabel *NewLabel(QWidget *parent, const char *name, int x, int y)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->resize(parent->width() - x - 8, 16);
    return label;
}

QCheckBox *NewCheckBox(QWidget *parent, const char *name, const QString &caption, int top)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(184, top, 121, 17);
    return box;
}

QFont ArialPixels(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// Rows of one fixed height.
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

const QColor Maroon(128, 0, 0);

void SetTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

}  // namespace

TDisquesframe::TDisquesframe(QWidget *parent, const TSettings &settings, TDiscSteps steps)
    : QFrame(parent), Discs(std::make_shared<TDiscList>()),
      Processor(*this, Discs, settings, std::move(steps))
{
    Bevel1 = SetUpPage(this, "Disquesframe");

    parentFichiersBtn = NewPageButton(this, "parentFichiersBtn", 8, 8);
    parentAVCHDBtn = NewPageButton(this, "parentAVCHDBtn", 120, 8);
    ListeBtn = NewPageButton(this, "ListeBtn", 232, 8);
    OptionsBtn = NewPageButton(this, "OptionsBtn", 344, 8);
    AproposBtn = NewPageButton(this, "AproposBtn", 456, 8);
    QuitterBtn = NewPageButton(this, "QuitterBtn", 568, 8);

    lbDisques = new TObjetListBox(this);
    lbDisques->setObjectName(QStringLiteral("lbDisques"));
    lbDisques->setGeometry(16, 76, 273, 172);
    lbDisques->setItemDelegate(new TFixedRowDelegate(14, lbDisques));
    lbDisques->KeyDelete = true;
    lbDisques->OnActiveChange = [this](TAbstractListObjet *actif) { lbDisquesActiveChange(actif); };
    lbDisques->OnCountsChange = [this](int iselcount, int icount) {
        lbDisquesCountsChange(iselcount, icount);
    };

    TntPanel1 = new QFrame(this);
    TntPanel1->setObjectName(QStringLiteral("TntPanel1"));
    TntPanel1->setFrameShape(QFrame::StyledPanel);
    TntPanel1->setGeometry(336, 64, 337, 185);
    labProject = NewLabel(TntPanel1, "labProject", 16, 16);
    labProject->setFont(ArialPixels(12));
    SetTextColour(labProject, Maroon);
    labTitre = NewLabel(TntPanel1, "labTitre", 16, 40);
    labTitre->setFont(ArialPixels(16, true));
    labTitre->resize(labTitre->width(), 22);
    labSize = NewLabel(TntPanel1, "labSize", 16, 72);
    labNbFic = NewLabel(TntPanel1, "labNbFic", 16, 88);
    labDuree = NewLabel(TntPanel1, "labDuree", 16, 104);
    labEchec = new QLabel(TntPanel1);
    labEchec->setObjectName(QStringLiteral("labEchec"));
    labEchec->setGeometry(16, 122, 164, 58);
    labEchec->setWordWrap(true);
    labEchec->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labEchec->setFont(ArialPixels(11));
    SetTextColour(labEchec, Qt::red);
    cbReadyForMux = NewCheckBox(TntPanel1, "cbReadyForMux", QStringLiteral("Prêt pour muxer"), 120);
    cbReadyforBurn = NewCheckBox(TntPanel1, "cbReadyforBurn", QStringLiteral("Prêt pour être gravé"), 140);
    cbBurnt = NewCheckBox(TntPanel1, "cbBurnt", QStringLiteral("Gravé"), 160);
    // Ticked by the user or by the program, the box's state goes to the disc.
    connect(cbReadyForMux, &QCheckBox::toggled, this, [this] { cbReadyForMuxClick(); });
    connect(cbReadyforBurn, &QCheckBox::toggled, this, [this] { cbReadyforBurnClick(); });
    connect(cbBurnt, &QCheckBox::toggled, this, [this] { cbBurntClick(); });

    // Just under the list: lower down the log would cover it.
    labDisques = new QLabel(this);
    labDisques->setObjectName(QStringLiteral("labDisques"));
    labDisques->setAlignment(Qt::AlignCenter);
    labDisques->setGeometry(24, 256, 265, 16);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(16, 288, 641, 129);
    Memo1->setReadOnly(true);
    Memo1->setFont(ArialPixels(12));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memo = Memo1->palette();
    memo.setColor(QPalette::Base, palette().color(QPalette::Button));
    memo.setColor(QPalette::Text, Qt::black);
    Memo1->setPalette(memo);

    Gauge = new QProgressBar(this);
    Gauge->setObjectName(QStringLiteral("Gauge"));
    Gauge->setGeometry(16, 464, 353, 16);
    Gauge->setTextVisible(true);
    Gauge->setFormat(QStringLiteral("%p%"));
    Gauge->setAlignment(Qt::AlignCenter);
    QPalette fill = Gauge->palette();
    fill.setColor(QPalette::Highlight, Maroon);
    Gauge->setPalette(fill);
    Gauge->hide();

    DisqueActuelBtn = NewPageButton(this, "DisqueActuelBtn", 256, 448);
    TousDisquesBtn = NewPageButton(this, "TousDisquesBtn", 400, 448);
    GraverBtn = NewPageButton(this, "GraverBtn", 544, 448);
    AnnulerBtn = NewPageButton(this, "AnnulerBtn", 544, 448);
    AnnulerBtn->hide();

    ClearDiscDetails();
}

TDisquesframe::~TDisquesframe()
{
    // The handlers would reach members already gone.
    lbDisques->OnActiveChange = nullptr;
    lbDisques->OnCountsChange = nullptr;
}

void TDisquesframe::ShowDiscs(const std::vector<TDiscPtr> &discs)
{
    ClearDiscDetails();
    lbDisques->ClearObjects();
    for (const TDiscPtr &disc : discs)
        lbDisques->AddEntry(std::make_unique<TlistDisque>(disc), false);
}

void TDisquesframe::lbDisquesActiveChange(TAbstractListObjet *actif)
{
    if (auto *entry = dynamic_cast<TlistDisque *>(actif)) {
        FActiveDisc = entry->Disc;
        ShowDiscDetails(*FActiveDisc);
        DisqueActuelBtn->setText(FActiveDisc->DiscName());
    } else {
        FActiveDisc.reset();
        ClearDiscDetails();
    }
}

void TDisquesframe::ShowDiscDetails(const TDisque &disc)
{
    labTitre->setText(disc.DiscName());
    labProject->setText(disc.Project);
    labSize->setText(DiscSizeText(disc));
    labNbFic->setText(DiscClipCountText(disc));
    labDuree->setText(DiscDurationText(disc));
    labEchec->setText(disc.Failure);
    labEchec->setToolTip(disc.Failure);
    cbReadyForMux->setChecked(disc.ReadyForMux);
    cbReadyforBurn->setChecked(disc.ReadyForBurn);
    cbBurnt->setChecked(disc.Burnt);
}

void TDisquesframe::ClearDiscDetails()
{
    for (QLabel *label : {labTitre, labProject, labSize, labNbFic, labDuree, labEchec})
        label->clear();
    labEchec->setToolTip(QString());
    // Only the panel is cleared: the disc still active (a split clears the
    // panel before the list) keeps its marks.
    for (QCheckBox *box : {cbReadyForMux, cbReadyforBurn, cbBurnt}) {
        const QSignalBlocker quiet(box);
        box->setChecked(false);
    }
    lbDisquesCountsChange(0, 0);
}

void TDisquesframe::lbDisquesCountsChange(int, int)
{
    PublishDiscs();
    labDisques->setText(DiscCountText(lbDisques->count()));
    EnableProcessingButtons();
}

void TDisquesframe::EnableProcessingButtons()
{
    // The button is enabled through its action, if bound to one, so that
    // the action's own changes do not undo it. While processing, the
    // actions stay off: their shortcuts must not start another run from
    // the events handled meanwhile.
    const bool idle = !Processor.Processing();
    const auto enable = [](QToolButton *button, bool enabled) {
        if (QAction *action = button->defaultAction())
            action->setEnabled(enabled);
        else
            button->setEnabled(enabled);
    };
    enable(DisqueActuelBtn, idle && FActiveDisc);
    enable(TousDisquesBtn, idle && lbDisques->count() > 0);
    enable(GraverBtn, idle && lbDisques->count() > 0);
    if (FActiveDisc)
        DisqueActuelBtn->setText(FActiveDisc->DiscName());
}

void TDisquesframe::PublishDiscs()
{
    std::vector<TDiscPtr> discs;
    discs.reserve(size_t(lbDisques->count()));
    for (int i = 0; i < lbDisques->count(); ++i)
        if (auto *entry = dynamic_cast<TlistDisque *>(lbDisques->Entry(i)))
            discs.push_back(entry->Disc);
    Discs->Assign(std::move(discs));
}

void TDisquesframe::cbReadyForMuxClick()
{
    if (FActiveDisc)
        FActiveDisc->ReadyForMux = cbReadyForMux->isChecked();
}

void TDisquesframe::cbReadyforBurnClick()
{
    if (FActiveDisc)
        FActiveDisc->ReadyForBurn = cbReadyforBurn->isChecked();
}

void TDisquesframe::cbBurntClick()
{
    if (FActiveDisc)
        FActiveDisc->Burnt = cbBurnt->isChecked();
}

void TDisquesframe::ShowStatus(const QString &text, TStatusKind kind)
{
    if (OnShowStatus)
        OnShowStatus(text, kind);
}

void TDisquesframe::ShowGauge(int maximum)
{
    Gauge->setRange(0, maximum);
    Gauge->setValue(0);
    Gauge->show();
}

void TDisquesframe::SetGaugePosition(int position)
{
    Gauge->setValue(std::min(position, Gauge->maximum()));
}

void TDisquesframe::HideGauge()
{
    Gauge->hide();
}

void TDisquesframe::ShowCancelButton(bool shown)
{
    AnnulerBtn->setVisible(shown);
}

void TDisquesframe::ShowProcessingActions(bool processing)
{
    DisqueActuelBtn->setVisible(!processing);
    TousDisquesBtn->setVisible(!processing);
    GraverBtn->setVisible(!processing);
    AnnulerBtn->setVisible(processing);
    EnableProcessingButtons();
}

void TDisquesframe::AppendLog(const QString &lines)
{
    Memo1->appendPlainText(lines);
}

void TDisquesframe::TickMark(TDiscMark mark)
{
    switch (mark) {
    case dmReadyForMux: cbReadyForMux->setChecked(true); break;
    case dmReadyForBurn: cbReadyforBurn->setChecked(true); break;
    case dmBurnt: cbBurnt->setChecked(true); break;
    }
}

void TDisquesframe::ShowDiscFailure(const TDiscPtr &disc)
{
    if (disc != FActiveDisc)
        return;
    labEchec->setText(disc->Failure);
    labEchec->setToolTip(disc->Failure);
}

void TDisquesframe::ProcessEvents()
{
    QCoreApplication::processEvents();
}
