// The three steps that turn a disc into a burnt AVCHD disc, each driving
// one outside program through RunTool: the demultiplexer ("eac3to") writes
// the disc's streams, the muxer ("tsMuxeR") builds the AVCHD folder tree
// from them, the burner ("ImgBurn") writes that tree to a DVD.
#pragma once

#include "src/authoring/destination.h"
#include "src/authoring/disque.h"
#include "src/authoring/stepresult.h"
#include "src/platform/runtool.h"
#include "src/prefs/settings.h"

#include <QString>

#include <functional>

// What a program's run means for its step. Our three programs end with 0
// when done, 1 when done with warnings and 2 when they failed; a program
// that could not start, ends with 2 or more, or dies of a signal we did not
// send has failed. One we stopped was interrupted, however it ended.
enum TToolVerdict { tvDone, tvWarnings, tvFailed, tvInterrupted };
TToolVerdict JudgeTool(const TToolOutcome &outcome);
// The log line saying how the program named tool ended.
QString ToolOutcomeText(const QString &tool, const TToolOutcome &outcome);

// Receives the log lines of a step about its program: the command line
// before it starts, and how it ended.
using TStepLog = std::function<void(const QString &line)>;

// -demux  "{clip 1}"+"{clip 2}"+…
QString DemuxArguments(const TDisque &disc);
// "{meta file}" "{disc folder}"
QString MuxArguments(const QString &metaFile, const QString &discFolder);
// The burner's build command for the BDMV and CERTIFICATE folders of
// discFolder (which ends with the delimiter), with the volume label, written
// to the target (a drive, or an image file), read back and compared when
// verify is set.
QString BurnArguments(const QString &discFolder, const QString &volumeLabel, const TBurnTarget &target = {},
                      bool verify = false);

// Runs the demultiplexer in settings.DossierFlux on the disc's clips; when
// it succeeded, takes the stream files it wrote into Streams and builds the
// chapters. An exception on the way gives the result of the stage it
// reached: NoClip before the program starts, DemuxFailed while it runs,
// Interrupted while its streams are taken (the disc gets no mark, so the
// step runs again).
TStepResult DemuxDisc(TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler,
                      const TStepLog &log = {});

// Writes the meta file and runs the muxer into the disc folder. When it
// succeeded, deletes the meta file and the streams as the settings say;
// when it was interrupted, the meta file only; when it failed, nothing.
TStepResult MuxDisc(TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler,
                    const TStepLog &log = {});

// Runs the burner on the disc folder, writing where settings.Destination
// says and verifying when settings.Verifier is set. A handler that asks for
// it stops the burner (which then leaves the disc unusable): the step was
// interrupted. The burner's exit code 3 (the image is larger than the
// medium, or than the room for an image file) gives BurnNoRoom.
TStepResult BurnDisc(const TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler = {},
                     const TStepLog &log = {});
