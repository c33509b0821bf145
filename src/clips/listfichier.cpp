#include "src/clips/listfichier.h"

#include "src/clips/clipcheck.h"
#include "src/platform/pathdelim.h"
#include "src/preview/mediadevice.h"
#include "src/preview/timeformats.h"

const TSortIndex SortAlpha {"alpha", "par ordre alphabétique", "tri alphabétique"};
const TSortIndex SortTaille {"taille", "selon la taille du fichier", "tri selon taille"};
const TSortIndex SortModify {"modify", "selon la date du fichier", "tri selon date du fichier"};
const TSortIndex SortExtension {"extension", "selon l'extension", "tri selon l'extension"};
const TSortIndex SortPath {"path", "selon le chemin", "tri selon le chemin"};
const TSortIndex SortTournage {"tournage", "selon la date de prise de vue",
                               "tri selon la date de prise de vue"};
const TSortIndex *const SortIndexes[6] = {&SortAlpha,     &SortTaille, &SortModify,
                                          &SortExtension, &SortPath,   &SortTournage};
const TSortIndex *const ChoosableSortIndexes[4] = {&SortAlpha, &SortTaille, &SortModify, &SortTournage};

const TSortIndex &ChoosableSortIndex(const QString &key)
{
    for (const TSortIndex *index : ChoosableSortIndexes)
        if (index->Key == key)
            return *index;
    return SortAlpha;
}

QString SortChoiceText(const TSortIndex &index)
{
    return QStringLiteral("Trier ") + index.LongText;
}

namespace {

// From the last "." of the path to its end, provided no "/" follows it.
QString ExtensionOf(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || path.indexOf(PathDelim, dot) >= 0)
        return {};
    QString extension = path.mid(dot);
    // Only A-Z are folded: the extension test compares with ASCII texts.
    for (QChar &c : extension)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return extension;
}

QString Hex16(std::uint32_t value)
{
    return QStringLiteral("%1").arg(value, 16, 16, QChar(u'0')).toUpper();
}

// The date pattern "yyyymmddhhnnss": compared as texts, the digits order
// the times.
QString DateDigits(int year, int month, int day, int hour, int minute, int second)
{
    return QString::asprintf("%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute, second);
}

QString DateKeyOf(TDateTime modified)
{
    const TDateTimeFields f = DecodeDateTime(modified);
    return DateDigits(f.year, f.month, f.day, f.hour, f.minute, f.second);
}

TDateTime LocalTime(const TFileTime &t)
{
    return LocalDateTimeFromUnix(std::time_t(t.Seconds), t.Nanoseconds);
}

// The entry of fullPath itself, found by a search for it.
bool FindEntry(const QString &fullPath, TFindData &entry)
{
    for (TFindData &found : FindFiles(fullPath))
        if (found.FileName == ExtractFileName(fullPath)) {
            entry = std::move(found);
            return true;
        }
    return false;
}

std::unique_ptr<Tm2tsFileDevice> MakeDevice(const TDeviceFactory &makeDevice, const QString &fullPath)
{
    if (makeDevice)
        if (auto device = makeDevice(fullPath))
            return device;
    return std::make_unique<Tm2tsFileDevice>(fullPath);
}

}  // namespace

// --- TAbstractListFichier

std::unique_ptr<TAbstractListFichier> TAbstractListFichier::CreateFromPath(const QString &fullPath)
{
    std::unique_ptr<TAbstractListFichier> record(new TAbstractListFichier);
    record->SetPath(fullPath);
    return record;
}

void TAbstractListFichier::SetPath(const QString &fullPath)
{
    FFullPath = fullPath;
    FFileName = ExtractFileName(fullPath);
    FExtension = ExtensionOf(fullPath);
    FFolder = IncludeTrailingPathDelimiter(ExtractFilePath(fullPath));
    FBaseName = FFileName.chopped(FExtension.size());
    FPathKey = fullPath.toLower();
    FAlphaKey = FFileName.toLower() + FPathKey;
    FExtensionKey = FExtension.toLower() + FPathKey;
}

QString TAbstractListFichier::GetSortKey(const TSortIndex &index) const
{
    if (index.Key == SortAlpha.Key)
        return FAlphaKey;
    if (index.Key == SortExtension.Key)
        return FExtensionKey;
    if (index.Key == SortPath.Key)
        return FPathKey;
    return {};
}

// --- TSRFichier

std::unique_ptr<TSRFichier> TSRFichier::CreateFromEntry(const QString &folder, const TFindData &entry)
{
    std::unique_ptr<TSRFichier> record(new TSRFichier);
    record->SetEntry(folder, entry);
    return record;
}

std::unique_ptr<TSRFichier> TSRFichier::CreateFromPath(const QString &fullPath)
{
    TFindData entry;
    if (!FindEntry(fullPath, entry))
        return std::unique_ptr<TSRFichier>(new TSRFichier);
    return CreateFromEntry(ExtractFilePath(fullPath), entry);
}

void TSRFichier::SetEntry(const QString &folder, const TFindData &entry)
{
    SetPath(folder + entry.FileName);
    FSizeHigh = entry.SizeHigh;
    FSizeLow = entry.SizeLow;
    FAttributes = entry.Attributes;
    FCreated = LocalTime(entry.CreationTime);
    FModified = LocalTime(entry.LastWriteTime);
    FAccessed = LocalTime(entry.LastAccessTime);
    FSizeKey = Hex16(FSizeHigh) + Hex16(FSizeLow) + PathKey();
    FDateKey = DateKeyOf(FModified) + PathKey();
    FReadOnly = (FAttributes & faReadOnly) != 0;
    SetRecordingDate(std::nullopt);
}

void TSRFichier::SetRecordingDate(const std::optional<TRecordingDate> &date)
{
    FRecordingDate = date;
    const QString when =
        date ? DateDigits(date->Year, date->Month, date->Day, date->Hour, date->Minute, date->Second)
             : DateKeyOf(FModified);
    FShotKey = when + AlphaKey();
}

QString TSRFichier::GetSortKey(const TSortIndex &index) const
{
    if (index.Key == SortModify.Key)
        return FDateKey;
    if (index.Key == SortTaille.Key)
        return FSizeKey;
    if (index.Key == SortTournage.Key)
        return FShotKey;
    return TAbstractListFichier::GetSortKey(index);
}

QString TSRFichier::Hint() const
{
    return FRecordingDate ? RecordingDateText(*FRecordingDate) : QString();
}

// --- Tm2tsFichier

QString Tm2tsFichier::Hint() const
{
    if (IsReadableClip(*this))
        return TSRFichier::Hint();
    return QStringLiteral("Pas une vidéo AVCHD lisible : ") + UnreadableClipReason(*this);
}

Tm2tsFichier::~Tm2tsFichier() = default;

std::unique_ptr<Tm2tsFichier> Tm2tsFichier::CreateFromEntry(const QString &folder, const TFindData &entry,
                                                            const TDeviceFactory &makeDevice)
{
    std::unique_ptr<Tm2tsFichier> record(new Tm2tsFichier);
    record->SetEntry(folder, entry);
    record->FDevice = MakeDevice(makeDevice, record->FullPath());
    record->SetRecordingDate(record->FDevice->RecordingDate());
    return record;
}

std::unique_ptr<Tm2tsFichier> Tm2tsFichier::CreateFromPath(const QString &fullPath,
                                                           const TDeviceFactory &makeDevice)
{
    TFindData entry;
    if (FindEntry(fullPath, entry))
        return CreateFromEntry(ExtractFilePath(fullPath), entry, makeDevice);
    std::unique_ptr<Tm2tsFichier> record(new Tm2tsFichier);
    record->FDevice = std::make_unique<Tm2tsFileDevice>(QString(), TKnownClip {0, 0, 0});
    return record;
}

// --- TlfCLass

TlfCLass TlfCLass::SRFichier()
{
    return TlfCLass(QStringLiteral("TSRFichier"), [](const QString &folder, const TFindData &entry) {
        return TSRFichier::CreateFromEntry(folder, entry);
    });
}

TlfCLass TlfCLass::M2tsFichier(const TDeviceFactory &makeDevice)
{
    return TlfCLass(
        QStringLiteral("Tm2tsFichier"),
        [makeDevice](const QString &folder, const TFindData &entry) -> std::unique_ptr<TSRFichier> {
            return Tm2tsFichier::CreateFromEntry(folder, entry, makeDevice);
        });
}
