// Clips as a camcorder's memory card holds them, made for a test: ffmpeg
// encodes the pictures (H.264) and the sound (AC-3); the recording date is
// written into the H.264 stream as the camera does (an MDPM SEI message
// before the slices of every picture); ffmpeg then puts both in a 192-byte
// packet transport stream under the name given (".MTS" on a card).
#pragma once

#include "tests/support/mdpmsei.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace cardclip {

// ffmpeg with these arguments; "" when it ran well, else what it said.
inline QString RunFfmpeg(const QStringList &arguments)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList {"-hide_banner", "-loglevel", "error", "-y"} + arguments);
    if (!ffmpeg.waitForFinished(120'000) || ffmpeg.exitStatus() != QProcess::NormalExit
        || ffmpeg.exitCode() != 0)
        return QStringLiteral("ffmpeg failed: ") + QString::fromLocal8Bit(ffmpeg.readAllStandardError());
    return {};
}

// The Annex B stream with `sei` put before every slice NAL unit (types 1
// and 5): one slice per picture, as x264 writes by default.
inline QByteArray InsertBeforeSlices(const QByteArray &stream, const mdpm::TBytes &sei)
{
    const QByteArray seiNal = QByteArray("\0\0\0\1", 4)
                              + QByteArray(reinterpret_cast<const char *>(sei.data()), qsizetype(sei.size()));
    QByteArray out;
    qsizetype from = 0;
    for (qsizetype code = stream.indexOf(QByteArray("\0\0\1", 3)); code >= 0;
         code = stream.indexOf(QByteArray("\0\0\1", 3), code + 3)) {
        if (code + 3 >= stream.size())
            break;
        const int type = stream[code + 3] & 0x1F;
        if (type != 1 && type != 5)
            continue;
        // A four-byte start code keeps its leading zero with the slice.
        const qsizetype start = code > 0 && stream[code - 1] == 0 ? code - 1 : code;
        out += stream.mid(from, start - from);
        out += seiNal;
        from = start;
    }
    return out + stream.mid(from);
}

// Makes `path`: a 320x180 clip at 25 pictures a second, `seconds` long,
// filmed at the date given (none when `year` is 0).
inline QString Make(const QString &path, double seconds, int year, int month = 1, int day = 1, int hour = 0,
                    int minute = 0, int second = 0)
{
    QTemporaryDir work;
    if (!work.isValid())
        return QStringLiteral("no temporary folder");
    const QString video = work.filePath(QStringLiteral("video.h264"));
    const QString dated = work.filePath(QStringLiteral("dated.h264"));
    const QString length = QString::number(seconds);
    QString error = RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=" + length,
                               "-c:v", "libx264", "-preset", "veryfast", "-g", "12", "-bf", "0", "-pix_fmt",
                               "yuv420p", "-b:v", "500k", "-f", "h264", video});
    if (!error.isEmpty())
        return error;
    QFile in(video), out(dated);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot rewrite the H.264 stream");
    const QByteArray stream = in.readAll();
    out.write(year > 0 ? InsertBeforeSlices(stream, mdpm::DateSei(year, month, day, hour, minute, second))
                       : stream);
    out.close();
    return RunFfmpeg({"-framerate",
                      "25",
                      "-f",
                      "h264",
                      "-i",
                      dated,
                      "-f",
                      "lavfi",
                      "-i",
                      "sine=frequency=440:sample_rate=48000:duration=" + length,
                      "-map",
                      "0:v",
                      "-map",
                      "1:a",
                      "-c:v",
                      "copy",
                      "-c:a",
                      "ac3",
                      "-b:a",
                      "192k",
                      "-ar",
                      "48000",
                      "-ac",
                      "2",
                      "-streamid",
                      "0:0x1011",
                      "-streamid",
                      "1:0x1100",
                      "-f",
                      "mpegts",
                      "-mpegts_m2ts_mode",
                      "1",
                      "-mpegts_pmt_start_pid",
                      "0x100",
                      "-muxrate",
                      "2000000",
                      path});
}

}  // namespace cardclip
