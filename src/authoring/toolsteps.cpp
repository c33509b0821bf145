#include "authoring/toolsteps.h"

#include "authoring/abort.h"
#include "authoring/metafile.h"
#include "platform/commandline.h"
#include "platform/pathdelim.h"
#include "platform/shell.h"

#include <QDir>
#include <QFileInfo>

#include <ctime>

namespace {

QString Quoted(const QString &text)
{
    return u'"' + text + u'"';
}

// The current local time as file times see it. The file system stamps
// files from the kernel's coarse clock, which lags the precise one by a few
// milliseconds: a file written just after a precise reading could look
// older than it, and a new stream file would be missed.
TDateTime CoarseNow()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return LocalDateTimeFromUnix(ts.tv_sec, ts.tv_nsec);
}

// Every entry of the folder whose name starts with base (letter case
// ignored, as the wildcard match of the folder search does) and that was
// last written at start or later, in the folder's own order.
QStringList NewStreamFiles(const QString &folder, const QString &base, TDateTime start)
{
    QStringList found;
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &name : names) {
        if (!name.startsWith(base, Qt::CaseInsensitive))
            continue;
        const QString path = folder + name;
        if (FileDate(path) >= start)
            found << path;
    }
    return found;
}

bool AllPassQuoted(const QStringList &texts)
{
    return std::all_of(texts.begin(), texts.end(), CanPassQuoted);
}

} // namespace

QString DemuxArguments(const TDisque &disc)
{
    QStringList quoted;
    for (const TDiscClip &clip : disc.Clips)
        quoted << Quoted(clip.Path);
    return QStringLiteral("-demux  ") + quoted.join(u'+');
}

QString MuxArguments(const QString &metaFile, const QString &discFolder)
{
    return Quoted(metaFile) + u' ' + Quoted(discFolder);
}

QString BurnArguments(const QString &discFolder, const QString &volumeLabel)
{
    return QStringLiteral("/MODE BUILD /BUILDOUTPUTMODE DEVICE /SRC ")
           + Quoted(discFolder + QStringLiteral("BDMV")) + u'|'
           + Quoted(discFolder + QStringLiteral("CERTIFICATE"))
           + QStringLiteral(" /FILESYSTEM \"UDF\" /UDFREVISION \"2.50\" /VERIFY NO /VOLUMELABEL ")
           + Quoted(volumeLabel)
           + QStringLiteral("   /EJECT /CLOSESUCCESS /NOIMAGEDETAILS /WAITFORMEDIA /START");
}

uint8_t DemuxDisc(TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler)
{
    uint8_t stage = srNoClip;
    try {
        if (disc.Clips.isEmpty())
            return srNoClip;
        disc.StreamBase = ExtractFileName(disc.Clips.first().Path);
        disc.StreamBase.chop(5);
        QStringList paths;
        for (const TDiscClip &clip : disc.Clips)
            paths << clip.Path;
        // A path the command line cannot carry would reach the program as
        // other files; a missing stream folder would leave the streams in
        // whatever folder is current. Neither is started.
        if (!AllPassQuoted(paths) || !QFileInfo(settings.DossierFlux).isDir())
            return srNoClip;
        const QString arguments = DemuxArguments(disc);
        disc.DemuxStart = CoarseNow();

        stage = srDemuxFailed;
        const QString previous = GetCurrentFolder();
        SetCurrentFolder(settings.DossierFlux);
        RunTool(settings.eac3tofile, arguments, handler);
        SetCurrentFolder(previous);

        stage = srInterrupted;
        if (AbortRequested)
            return srInterrupted;
        // A demux run again replaces the streams of the earlier run.
        static_cast<QStringList &>(disc.Streams) =
            NewStreamFiles(settings.DossierFlux, disc.StreamBase, disc.DemuxStart);
        BuildChapters(disc);
        disc.Streams.MetaString = disc.Chapters.getmetastring();
        return srDone;
    } catch (...) {
        return stage;
    }
}

uint8_t MuxDisc(TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler)
{
    const QString metaFile = MetaFilePath(disc, settings.Dossiermeta);
    const QString discFolder = disc.DiscFolder(settings.DossierAVCHD);
    if (!AllPassQuoted({metaFile, discFolder}) || !WriteMetaFile(disc, metaFile))
        return srMetaNotWritten;
    RunTool(settings.tsMuxerFile, MuxArguments(metaFile, discFolder), handler);
    if (settings.DeleteMeta)
        DeleteFileForced(metaFile);
    if (AbortRequested)
        return srInterrupted;
    if (settings.DeleteFlux)
        for (const QString &stream : disc.Streams)
            DeleteFileForced(stream);
    return srDone;
}

uint8_t BurnDisc(const TDisque &disc, const TSettings &settings)
{
    const QString folder = disc.DiscFolder(settings.DossierAVCHD);
    const QString label = disc.VolumeLabel();
    // "|" separates the source folders, so a folder holding one would be
    // read as two.
    if (!AllPassQuoted({folder + QStringLiteral("BDMV"), folder + QStringLiteral("CERTIFICATE"), label})
        || folder.contains(u'|'))
        return srBurnNotStarted;
    RunTool(settings.ImgBurnFile, BurnArguments(folder, label));
    return srDone;
}
