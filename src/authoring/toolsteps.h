// The three steps that turn a disc into a burnt AVCHD disc, each driving
// one outside program through RunTool: the demultiplexer ("eac3to") writes
// the disc's streams, the muxer ("tsMuxeR") builds the AVCHD folder tree
// from them, the burner ("ImgBurn") writes that tree to a DVD.
#pragma once

#include "authoring/disque.h"
#include "platform/runtool.h"
#include "prefs/settings.h"

#include <QString>

#include <cstdint>

// Result codes of the steps.
enum TStepResult : uint8_t {
    srDone = 0,
    srNoClip = 2,           // demux: no clip, or nothing could be started
    srDemuxFailed = 3,      // demux: failure while the demultiplexer ran
    srMetaNotWritten = 4,   // mux: meta file not written, muxer not started
    srBurnNotStarted = 5,   // burn: folder or label cannot be passed, burner not started
    srInterrupted = 6,
};

// -demux  "{clip 1}"+"{clip 2}"+…
QString DemuxArguments(const TDisque &disc);
// "{meta file}" "{disc folder}"
QString MuxArguments(const QString &metaFile, const QString &discFolder);
// The burner's build command for the BDMV and CERTIFICATE folders of
// discFolder (which ends with the delimiter), with the volume label.
QString BurnArguments(const QString &discFolder, const QString &volumeLabel);

// Runs the demultiplexer in settings.DossierFlux on the disc's clips, then
// takes the stream files it wrote into Streams and builds the chapters.
uint8_t DemuxDisc(TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler);

// Writes the meta file, runs the muxer into the disc folder, then deletes
// the meta file and the streams as the settings say.
uint8_t MuxDisc(TDisque &disc, const TSettings &settings, const ToolOutputHandler &handler);

// Runs the burner on the disc folder; it cannot be interrupted.
uint8_t BurnDisc(const TDisque &disc, const TSettings &settings);
