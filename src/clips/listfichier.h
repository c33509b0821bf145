// Clip records: one object per file of the clip list. TAbstractListFichier
// holds what the path tells, TSRFichier adds what the directory entry tells
// (size, times, attributes) and Tm2tsFichier, the record of an .m2ts clip,
// adds the clip's media device, whose Duration is the clip's playing time.
// Each record carries one ready-made sort key per sort order, so a list is
// kept in order by comparing plain texts. Every key ends with the lower-
// cased full path, so two records have equal keys only for the same file.
#pragma once

#include "src/platform/datetime.h"
#include "src/platform/findfiles.h"
// Not first: moc, reading this header for the clip list box, fails on the
// standard <compare> it pulls in unless another standard header came before.
#include "media/recordingdate.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// A sort order of the clip list: Key selects the rule; the two texts travel
// with it.
struct TSortIndex
{
    QString Key;
    QString LongText;
    QString ShortText;
};

extern const TSortIndex SortAlpha;  // "alpha"
extern const TSortIndex SortTaille;  // "taille"
extern const TSortIndex SortModify;  // "modify"
extern const TSortIndex SortExtension;  // "extension"
extern const TSortIndex SortPath;  // "path"
extern const TSortIndex SortTournage;  // "tournage"
// The six, in the order above.
extern const TSortIndex *const SortIndexes[6];
// The orders the user can choose in the window, and that the settings
// may hold at start-up, in the order they are offered.
extern const TSortIndex *const ChoosableSortIndexes[4];
// The choosable order whose Key is key, else "alpha".
const TSortIndex &ChoosableSortIndex(const QString &key);
// How the window offers an order: "Trier par ordre alphabétique", …
QString SortChoiceText(const TSortIndex &index);

class TAbstractListFichier
{
public:
    virtual ~TAbstractListFichier() = default;

    // A record of the path fields and keys of fullPath.
    static std::unique_ptr<TAbstractListFichier> CreateFromPath(const QString &fullPath);

    // The key of the order whose Key is index.Key (compared exactly); an
    // empty text for a key outside the six.
    virtual QString GetSortKey(const TSortIndex &index) const;
    // What the item's hint (tooltip) in the list says of the file; empty
    // for nothing.
    virtual QString Hint() const { return {}; }

    const QString &FullPath() const { return FFullPath; }
    const QString &FileName() const { return FFileName; }  // after the last "/"
    const QString &Extension() const { return FExtension; }  // ".m2ts", lower case, or ""
    const QString &Folder() const { return FFolder; }  // ends with "/"
    const QString &BaseName() const { return FBaseName; }
    const QString &AlphaKey() const { return FAlphaKey; }
    const QString &ExtensionKey() const { return FExtensionKey; }
    const QString &PathKey() const { return FPathKey; }

protected:
    TAbstractListFichier() = default;
    // Fills the path fields and the three path keys.
    void SetPath(const QString &fullPath);

private:
    QString FFullPath, FFileName, FExtension, FFolder, FBaseName;
    QString FAlphaKey, FExtensionKey, FPathKey;
};

class TSRFichier : public TAbstractListFichier
{
public:
    // The record of the file entry found in folder (ending with "/").
    static std::unique_ptr<TSRFichier> CreateFromEntry(const QString &folder, const TFindData &entry);
    // Searches fullPath and builds the record from the entry found; an
    // empty record when nothing is there.
    static std::unique_ptr<TSRFichier> CreateFromPath(const QString &fullPath);

    QString GetSortKey(const TSortIndex &index) const override;
    // "Filmé le …" for a clip whose recording date is known.
    QString Hint() const override;

    std::uint32_t SizeHigh() const { return FSizeHigh; }
    std::uint32_t SizeLow() const { return FSizeLow; }
    std::uint64_t Size() const { return (std::uint64_t(FSizeHigh) << 32) | FSizeLow; }
    TDateTime Created() const { return FCreated; }
    TDateTime Modified() const { return FModified; }
    TDateTime Accessed() const { return FAccessed; }
    std::uint32_t Attributes() const { return FAttributes; }
    bool ReadOnly() const { return FReadOnly; }
    const QString &SizeKey() const { return FSizeKey; }
    const QString &DateKey() const { return FDateKey; }
    // When the clip was filmed, as its camcorder's clock showed it; none
    // for a file that does not tell.
    const std::optional<TRecordingDate> &RecordingDate() const { return FRecordingDate; }
    // Sort key of the "tournage" order: the recording date, else the
    // last-write time, to the second, then AlphaKey (ties by name).
    const QString &ShotKey() const { return FShotKey; }

protected:
    TSRFichier() = default;
    // Path fields from folder + entry name, then size, times, attributes
    // and the size, date and shot keys.
    void SetEntry(const QString &folder, const TFindData &entry);
    // The recording date, and the shot key made from it.
    void SetRecordingDate(const std::optional<TRecordingDate> &date);

private:
    std::uint32_t FSizeHigh = 0, FSizeLow = 0;
    TDateTime FCreated = 0, FModified = 0, FAccessed = 0;
    std::uint32_t FAttributes = 0;
    bool FReadOnly = false;
    QString FSizeKey, FDateKey, FShotKey;
    std::optional<TRecordingDate> FRecordingDate;
};

// The media device is the preview's (src/preview/mediadevice.h): code that
// reads a clip's device includes that header itself, so the records stay
// free of the media framework's types.
class Tm2tsFileDevice;

// Makes the media device of a clip from its full path. The default one
// probes the file (Tm2tsFileDevice(path)); one returning a device built
// with TKnownClip gives records of a chosen duration without opening files.
using TDeviceFactory = std::function<std::unique_ptr<Tm2tsFileDevice>(const QString &fullPath)>;

class Tm2tsFichier : public TSRFichier
{
public:
    // The record, then its device made for FullPath by makeDevice (the
    // probing one when none is given). A clip the device cannot read is
    // still a record, with Duration 0.
    static std::unique_ptr<Tm2tsFichier> CreateFromEntry(const QString &folder, const TFindData &entry,
                                                         const TDeviceFactory &makeDevice = {});
    // As TSRFichier::CreateFromPath; an empty record has a device that is
    // not valid and has Duration 0.
    static std::unique_ptr<Tm2tsFichier> CreateFromPath(const QString &fullPath,
                                                        const TDeviceFactory &makeDevice = {});
    ~Tm2tsFichier() override;

    // Never null.
    Tm2tsFileDevice *Device() const { return FDevice.get(); }
    // Why the file is not a readable clip, when it is not; else the
    // recording date.
    QString Hint() const override;

private:
    Tm2tsFichier() = default;
    std::unique_ptr<Tm2tsFileDevice> FDevice;
};

// A record class: creates a record of one class of the family from a folder
// and a directory entry. A default-made class is "none".
class TlfCLass
{
public:
    using TCreate = std::function<std::unique_ptr<TSRFichier>(const QString &folder, const TFindData &entry)>;

    TlfCLass() = default;
    explicit TlfCLass(QString className, TCreate create)
        : FClassName(std::move(className)), FCreate(std::move(create))
    { }

    // TSRFichier records.
    static TlfCLass SRFichier();
    // Tm2tsFichier records whose devices come from makeDevice (probing
    // devices when none is given).
    static TlfCLass M2tsFichier(const TDeviceFactory &makeDevice = {});

    explicit operator bool() const { return bool(FCreate); }
    // "TSRFichier", "Tm2tsFichier", or "" for none.
    const QString &ClassName() const { return FClassName; }
    // Null for the "none" class.
    std::unique_ptr<TSRFichier> CreateFromEntry(const QString &folder, const TFindData &entry) const
    {
        return FCreate ? FCreate(folder, entry) : nullptr;
    }

private:
    QString FClassName;
    TCreate FCreate;
};
