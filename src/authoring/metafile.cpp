#include "src/authoring/metafile.h"

#include "src/platform/wholefile.h"
#include "src/platform/timetexts.h"

#include <QFile>

void BuildChapters(TDisque &disc)
{
    disc.Chapters.clear();
    int64_t start = 0;
    for (const TDiscClip &clip : disc.Clips) {
        disc.Chapters.append(FormatChapterTime(start));
        start += clip.Duration + kChapterGapBetweenClips;
    }
}

QString MetaFilePath(const TDisque &disc, const QString &dossiermeta)
{
    return dossiermeta + disc.Project + QStringLiteral(".meta");
}

QByteArray MetaFileText(const TDisque &disc)
{
    QByteArray text = "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr  --custom-chapters="
                      + disc.Streams.MetaString + " --vbv-len=500\r\n";
    for (const QString &stream : disc.Streams) {
        const qsizetype dot = stream.lastIndexOf(u'.');
        const QString extension = dot < 0 ? QString() : stream.mid(dot).toLower();
        const QByteArray path = QFile::encodeName(stream);
        if (extension == QStringLiteral(".h264"))
            text += "V_MPEG4/ISO/AVC, \"" + path + "\", fps=" + disc.FrameRateOrDefault()
                    + ", insertSEI, contSPS\r\n";
        else if (extension == QStringLiteral(".ac3"))
            text += "A_AC3, \"" + path + "\"\r\n";
    }
    return text;
}

bool WriteMetaFile(const TDisque &disc, const QString &path)
{
    QString error;
    return WriteFileAtomically(path, MetaFileText(disc), &error);
}
