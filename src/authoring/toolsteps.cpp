#include "src/authoring/toolsteps.h"

#include "src/authoring/abort.h"
#include "src/platform/logging.h"
#include "src/authoring/metafile.h"
#include "media/clipname.h"
#include "src/platform/commandline.h"
#include "src/platform/pathdelim.h"
#include "src/platform/shell.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>
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
    timespec ts {};
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

// Runs the program of a step, with its command line and how it ended in
// the log, and says what the run means for the step.
TToolVerdict RunStepTool(const QString &tool, const QString &program, const QString &arguments,
                         const ToolOutputHandler &handler, const TStepLog &log, const QString &folder = {},
                         TToolOutcome *ended = nullptr)
{
    const QString commandLine = ToolCommandLine(program, arguments);
    qCInfo(lcAuthoring).noquote() << "starting" << commandLine << "in"
                                  << (folder.isEmpty() ? GetCurrentFolder() : folder);
    if (log)
        log(QStringLiteral("Lancement de ") + tool + QStringLiteral(" : ") + commandLine);
    const TToolOutcome outcome = RunTool(program, arguments, handler, folder);
    const QString ending = ToolOutcomeText(tool, outcome);
    qCInfo(lcAuthoring).noquote() << ending;
    if (log)
        log(ending);
    if (ended)
        *ended = outcome;
    return JudgeTool(outcome);
}

// How far a demux has got, which decides what a failure on the way means.
enum class TDemuxStage { Preparing, Running, Collecting };

const char *StageText(TDemuxStage stage)
{
    switch (stage) {
    case TDemuxStage::Preparing: return "before the demultiplexer started";
    case TDemuxStage::Running: return "while the demultiplexer ran";
    case TDemuxStage::Collecting: break;
    }
    return "while its streams were taken";
}

TStepResult ResultOfFailureAt(TDemuxStage stage)
{
    switch (stage) {
    case TDemuxStage::Preparing: return TStepResult::NoClip;
    case TDemuxStage::Running: return TStepResult::DemuxFailed;
    case TDemuxStage::Collecting: break;
    }
    // The program has ended but its streams were not all taken: the step
    // stops there as an interrupted one does, and its disc gets no mark.
    return TStepResult::Interrupted;
}

// The demux step, telling through stage how far it has got.
TStepResult RunDemux(TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler,
                     const TStepLog &log, TDemuxStage &stage)
{
    stage = TDemuxStage::Preparing;
    if (disc.Clips.isEmpty())
        return TStepResult::NoClip;
    disc.StreamBase = ExtractFileName(disc.Clips.first().Path);
    disc.StreamBase.chop(qsizetype(StreamBaseCut(disc.StreamBase.toStdString())));
    QStringList paths;
    for (const TDiscClip &clip : disc.Clips)
        paths << clip.Path;
    // A path the command line cannot carry would reach the program as
    // other files; a missing stream folder would leave the streams in
    // whatever folder is current. Neither is started.
    if (!AllPassQuoted(paths) || !QFileInfo(settings.DossierFlux).isDir())
        return TStepResult::NoClip;
    for (const QString &path : paths)
        if (!IsFaithfulPath(path)) {
            if (log)
                log(QStringLiteral("Le nom du clip « ") + path
                    + QStringLiteral(" » n'est pas un nom de fichier UTF-8 valable : renommez le fichier."));
            return TStepResult::NoClip;
        }
    const QString arguments = DemuxArguments(disc);
    disc.DemuxStart = CoarseNow();

    stage = TDemuxStage::Running;
    // The streams are written into the program's current folder.
    const TToolVerdict verdict = RunStepTool(QStringLiteral("eac3to"), settings.eac3tofile, arguments,
                                             handler, log, settings.DossierFlux);
    if (AbortRequested || verdict == tvInterrupted)
        return TStepResult::Interrupted;
    if (verdict == tvFailed)
        return TStepResult::DemuxFailed;

    stage = TDemuxStage::Collecting;
    // A demux run again replaces the streams of the earlier run; their
    // chapter text is made again below.
    disc.Streams.clear();
    disc.Streams << NewStreamFiles(settings.DossierFlux, disc.StreamBase, disc.DemuxStart);
    BuildChapters(disc);
    disc.Streams.MetaString = disc.Chapters.getmetastring();
    return verdict == tvWarnings ? TStepResult::Warnings : TStepResult::Done;
}

}  // namespace

TToolVerdict JudgeTool(const TToolOutcome &outcome)
{
    if (outcome.Stopped)
        return tvInterrupted;
    if (outcome.End != TToolOutcome::Exited || outcome.Code < 0 || outcome.Code >= 2)
        return tvFailed;
    return outcome.Code == 0 ? tvDone : tvWarnings;
}

QString ToolOutcomeText(const QString &tool, const TToolOutcome &outcome)
{
    const QString code = QString::number(outcome.Code);
    switch (outcome.End) {
    case TToolOutcome::NotStarted:
        return tool + QStringLiteral(" n'a pas pu être lancé : ")
               + QString::fromLocal8Bit(strerror(outcome.Code));
    case TToolOutcome::Signalled:
        if (outcome.Stopped)
            return tool + QStringLiteral(" a été interrompu (signal ") + code + u')';
        return tool + QStringLiteral(" a été arrêté par le signal ") + code + QStringLiteral(" (")
               + QString::fromLocal8Bit(strsignal(outcome.Code)) + u')';
    case TToolOutcome::Exited: break;
    }
    switch (JudgeTool(outcome)) {
    case tvDone: return tool + QStringLiteral(" a terminé (code 0)");
    case tvWarnings: return tool + QStringLiteral(" a terminé avec des avertissements (code 1)");
    case tvInterrupted: return tool + QStringLiteral(" a été interrompu (code ") + code + u')';
    case tvFailed: break;
    }
    return tool + QStringLiteral(" a échoué (code ") + code + u')';
}

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

QString BurnArguments(const QString &discFolder, const QString &volumeLabel, const TBurnTarget &target,
                      bool verify)
{
    const bool image = target.Kind == TBurnTarget::ImageFile;
    QString arguments = QStringLiteral("/MODE BUILD /BUILDOUTPUTMODE ")
                        + (image ? QStringLiteral("IMAGEFILE") : QStringLiteral("DEVICE"))
                        + QStringLiteral(" /SRC ") + Quoted(discFolder + QStringLiteral("BDMV")) + u'|'
                        + Quoted(discFolder + QStringLiteral("CERTIFICATE"))
                        + QStringLiteral(" /FILESYSTEM \"UDF\" /UDFREVISION \"2.50\" /VERIFY ")
                        + (verify ? QStringLiteral("YES") : QStringLiteral("NO"))
                        + QStringLiteral(" /VOLUMELABEL ") + Quoted(volumeLabel)
                        + QStringLiteral("   /EJECT /CLOSESUCCESS /NOIMAGEDETAILS /WAITFORMEDIA /START");
    if (!target.Dest.isEmpty())
        arguments += QStringLiteral(" /DEST ") + Quoted(target.Dest);
    return arguments;
}

TStepResult DemuxDisc(TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler,
                      const TStepLog &log)
{
    TDemuxStage stage = TDemuxStage::Preparing;
    try {
        return RunDemux(disc, settings, handler, log, stage);
    } catch (const std::exception &e) {
        qCWarning(lcAuthoring) << "demux of" << disc.DiscName() << "failed" << StageText(stage) << ":"
                               << e.what();
    } catch (...) {
        qCWarning(lcAuthoring) << "demux of" << disc.DiscName() << "failed" << StageText(stage);
    }
    return ResultOfFailureAt(stage);
}

TStepResult MuxDisc(TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler,
                    const TStepLog &log)
{
    const QString metaFile = MetaFilePath(disc, settings.Dossiermeta);
    const QString discFolder = disc.DiscFolder(settings.DossierAVCHD);
    if (!AllPassQuoted({metaFile, discFolder}) || !WriteMetaFile(disc, metaFile))
        return TStepResult::MetaNotWritten;
    const TToolVerdict verdict = RunStepTool(QStringLiteral("tsMuxeR"), settings.tsMuxerFile,
                                             MuxArguments(metaFile, discFolder), handler, log);
    // A failed mux keeps everything it was given, to be run again or looked
    // into.
    const bool interrupted = AbortRequested || verdict == tvInterrupted;
    if (verdict == tvFailed && !interrupted)
        return TStepResult::MuxFailed;
    if (settings.DeleteMeta)
        DeleteFileForced(metaFile);
    if (interrupted)
        return TStepResult::Interrupted;
    if (settings.DeleteFlux)
        for (const QString &stream : disc.Streams)
            DeleteFileForced(stream);
    return verdict == tvWarnings ? TStepResult::Warnings : TStepResult::Done;
}

TStepResult BurnDisc(const TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler,
                     const TStepLog &log)
{
    const QString folder = disc.DiscFolder(settings.DossierAVCHD);
    const QString label = disc.VolumeLabel();
    const TBurnTarget target = BurnTargetOf(disc, settings);
    // "|" separates the source folders, so a folder holding one would be
    // read as two.
    if (!AllPassQuoted(
            {folder + QStringLiteral("BDMV"), folder + QStringLiteral("CERTIFICATE"), label, target.Dest})
        || folder.contains(u'|'))
        return TStepResult::BurnNotStarted;
    // Unlike the demux and mux steps, the burn is not stopped by
    // AbortRequested alone: a burn stopped half-way ruins the disc, so only
    // a handler that asks for it stops the burner.
    TToolOutcome outcome;
    const TToolVerdict verdict =
        RunStepTool(QStringLiteral("ImgBurn"), settings.ImgBurnFile,
                    BurnArguments(folder, label, target, settings.Verifier), handler, log, {}, &outcome);
    switch (verdict) {
    case tvDone: return TStepResult::Done;
    case tvWarnings: return TStepResult::Warnings;
    case tvInterrupted: return TStepResult::Interrupted;
    case tvFailed: break;
    }
    constexpr int kBurnerNoRoom = 3;
    return outcome.End == TToolOutcome::Exited && outcome.Code == kBurnerNoRoom ? TStepResult::BurnNoRoom
                                                                                : TStepResult::BurnFailed;
}
