// Clip devices on the fixture clips: what the probe finds, the duration
// against ffprobe's picture count, files that cannot be read, and the
// device in a pipeline of the caller's.
#include "src/preview/mediadevice.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <thread>

namespace {

const QString FixtureDir = QStringLiteral(TAVREL_FIXTURE_DIR);
constexpr std::int64_t kMillisecond = 10'000;

QString Fixture(const char *name)
{
    return FixtureDir + u'/' + QLatin1String(name);
}

// Number of frames ffprobe decodes in the first stream of the kind given
// ("v" or "a") times the duration of one frame, in 100 ns; -1 when ffprobe
// cannot tell.
std::int64_t FfprobeDuration(const QString &path, const char *kind)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                   QStringLiteral("-select_streams"), QLatin1String(kind) + QStringLiteral(":0"),
                   QStringLiteral("-show_entries"),
                   QStringLiteral("stream=nb_read_frames,r_frame_rate,sample_rate,codec_name"),
                   QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), path});
    if (!ffprobe.waitForFinished(60'000) || ffprobe.exitCode() != 0)
        return -1;
    QMap<QString, QString> fields;
    for (const QByteArray &line : ffprobe.readAllStandardOutput().split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            fields[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1)).trimmed();
    }
    const double frames = fields.value(QStringLiteral("nb_read_frames")).toDouble();
    double frameSeconds = 0;
    if (QLatin1String(kind) == QLatin1String("v")) {
        const QStringList rate = fields.value(QStringLiteral("r_frame_rate")).split(u'/');
        if (rate.size() == 2 && rate[0].toDouble() > 0)
            frameSeconds = rate[1].toDouble() / rate[0].toDouble();
    } else if (fields.value(QStringLiteral("codec_name")) == QLatin1String("ac3")) {
        frameSeconds = 1536.0 / fields.value(QStringLiteral("sample_rate")).toDouble();
    }
    if (frames <= 0 || frameSeconds <= 0)
        return -1;
    return std::llround(frames * frameSeconds * 1e7);
}

struct GoodClip
{
    const char *name;
    int video, audio;
    double fps = 0;  // frames per second of the video; 0 without video
};

class GoodClips : public testing::TestWithParam<GoodClip>
{ };

TEST_P(GoodClips, DurationIsPicturesTimesPictureDuration)
{
    const GoodClip &c = GetParam();
    const Tm2tsFileDevice device(Fixture(c.name));
    ASSERT_TRUE(device.Valid());
    EXPECT_EQ(device.VideoCount(), c.video);
    EXPECT_EQ(device.AudioCount(), c.audio);
    EXPECT_EQ(device.InterleavedCount(), 0);
    EXPECT_EQ(device.StreamCount(), 0);
    const std::int64_t expected = FfprobeDuration(Fixture(c.name), c.video > 0 ? "v" : "a");
    ASSERT_GT(expected, 0) << "ffprobe could not count the frames";
    EXPECT_NEAR(double(device.Duration()), double(expected), double(kMillisecond));
    // One frame, interlaced or not, to the 90 kHz tick.
    EXPECT_NEAR(double(device.PictureDuration()), c.fps > 0 ? 1e7 / c.fps : 0, 112);
    EXPECT_EQ(device.CurrentGraph(), nullptr);
    EXPECT_EQ(device.OutputFilter(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, GoodClips,
    testing::Values(GoodClip {"cam1080i.m2ts", 1, 1, 25}, GoodClip {"small1s.m2ts", 1, 1, 25},
                    GoodClip {"small3s.m2ts", 1, 1, 25}, GoodClip {"videoonly.m2ts", 1, 0, 25},
                    GoodClip {"audioonly.m2ts", 0, 1}, GoodClip {"ntsc60i.m2ts", 1, 1, 30000 / 1001.0},
                    GoodClip {"film24p.m2ts", 1, 1, 24000 / 1001.0},
                    GoodClip {"hd720p60.m2ts", 1, 1, 60000 / 1001.0}),
    [](const testing::TestParamInfo<GoodClip> &info) {
        return QString::fromLatin1(info.param.name).section(u'.', 0, 0).toStdString();
    });

TEST(Tm2tsFileDevice, OffersOneVideoAndOneAudioSourceNamedAfterTheFile)
{
    const Tm2tsFileDevice device(Fixture("cam1080i.m2ts"));
    EXPECT_EQ(device.DeviceName(), QStringLiteral("cam1080i.m2ts"));
    EXPECT_EQ(device.DisplayName(), QStringLiteral("cam1080i.m2ts"));
    EXPECT_EQ(device.Number(), 1);
    EXPECT_EQ(device.FullPath(), Fixture("cam1080i.m2ts"));
    ASSERT_EQ(device.VideoSources().Count(), 1);
    ASSERT_EQ(device.AudioSources().Count(), 1);
    TVideoSource *video = device.AllVideoSources().Get(0);
    TAudioSource *audio = device.AllAudioSources().Get(0);
    ASSERT_NE(video, nullptr);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(video, device.VideoSources().Get(0));
    EXPECT_EQ(video->Name(), QStringLiteral("cam1080i.m2ts"));
    EXPECT_EQ(audio->Name(), QStringLiteral("cam1080i.m2ts"));
    EXPECT_EQ(video->Device(), &device);
    EXPECT_EQ(video->Number(), 1);
    EXPECT_EQ(device.AllVideoSources().Get(1), nullptr);
    EXPECT_EQ(device.AllVideoSources().Get(-1), nullptr);
    EXPECT_EQ(device.DvDevices().Count(), 0);
    EXPECT_EQ(device.StreamDevices().Count(), 0);
}

TEST(Sentinels, HaveNoDeviceAndTheirFrenchNames)
{
    EXPECT_EQ(NoVideo->Name(), QStringLiteral("Aucune Vidéo"));
    EXPECT_EQ(NoAudio->Name(), QStringLiteral("Aucun Audio"));
    EXPECT_EQ(NoVideo->Device(), nullptr);
    EXPECT_EQ(NoAudio->Device(), nullptr);
}

void ExpectNothingFound(const Tm2tsFileDevice &device)
{
    EXPECT_FALSE(device.Valid());
    EXPECT_EQ(device.Duration(), 0);
    EXPECT_EQ(device.VideoCount() + device.AudioCount() + device.StreamCount() + device.InterleavedCount(),
              0);
    EXPECT_EQ(device.AllVideoSources().Count(), 0);
    EXPECT_EQ(device.AllAudioSources().Count(), 0);
}

class UnusableClips : public testing::TestWithParam<const char *>
{ };

TEST_P(UnusableClips, GiveNoSourceAndNoDuration)
{
    const Tm2tsFileDevice device(Fixture(GetParam()));
    ExpectNothingFound(device);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, UnusableClips,
                         testing::Values("truncated.m2ts", "bad.m2ts", "empty.m2ts", "no such clip.m2ts"));

TEST(Tm2tsFileDevice, UnreadableClipGivesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7755));
    const QString path = dir.filePath(QStringLiteral("locked.m2ts"));
    ASSERT_TRUE(QFile::copy(Fixture("small1s.m2ts"), path));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    // Root reads anything; as another file-system user it cannot.
    const bool asRoot = geteuid() == 0;
    if (asRoot)
        setfsuid(65534);
    const Tm2tsFileDevice device(path);
    if (asRoot)
        setfsuid(0);
    ExpectNothingFound(device);
}

// GStreamer's estimate, from the file size and bit rate, once made 78 s
// of a 1 s clip followed by the 20 MB of zeros a power loss leaves.
TEST(Tm2tsFileDevice, ZerosAfterTheClipAddNoTime)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("powerloss.m2ts"));
    ASSERT_TRUE(QFile::copy(Fixture("small1s.m2ts"), path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(QByteArray(20 << 20, '\0'));
    file.close();
    const Tm2tsFileDevice device(path);
    EXPECT_EQ(device.Duration(), Tm2tsFileDevice(Fixture("small1s.m2ts")).Duration());
    EXPECT_GT(device.Duration(), 0);
}

TEST(Tm2tsFileDevice, NamedPipeOrFolderIsNotOpened)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pipe = dir.filePath(QStringLiteral("pipe.m2ts"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    ASSERT_TRUE(QDir().mkdir(dir.filePath(QStringLiteral("folder.m2ts"))));
    for (const QString &path : {pipe, dir.filePath(QStringLiteral("folder.m2ts"))}) {
        // A pipe without writer would block an open for good.
        const Tm2tsFileDevice device(path);
        ExpectNothingFound(device);
    }
}

TEST(Tm2tsFileDevice, PathsWithAwkwardCharactersWork)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("Vidéos d'été + \"amis\""));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Clip ß 'un' + \"deux\" #1 (été).m2ts");
    ASSERT_TRUE(QFile::copy(Fixture("small1s.m2ts"), path));
    const Tm2tsFileDevice device(path);
    EXPECT_TRUE(device.Valid());
    EXPECT_EQ(device.Duration(), 10'000'000);
    EXPECT_EQ(device.DeviceName(), QStringLiteral("Clip ß 'un' + \"deux\" #1 (été).m2ts"));
}

TEST(Tm2tsFileDevice, ProbesOnAnyThread)
{
    std::int64_t durations[2] = {};
    std::thread first([&] { durations[0] = Tm2tsFileDevice(Fixture("small1s.m2ts")).Duration(); });
    std::thread second([&] { durations[1] = Tm2tsFileDevice(Fixture("small3s.m2ts")).Duration(); });
    first.join();
    second.join();
    EXPECT_EQ(durations[0], 10'000'000);
    EXPECT_EQ(durations[1], 30'000'000);
}

TEST(Tm2tsFileDevice, KnownClipIsNotOpened)
{
    const Tm2tsFileDevice device(QStringLiteral("/nowhere/clip.m2ts"), TKnownClip {123'456'789, 1, 1});
    EXPECT_TRUE(device.Valid());
    EXPECT_EQ(device.Duration(), 123'456'789);
    EXPECT_EQ(device.VideoCount(), 1);
    EXPECT_EQ(device.AudioCount(), 1);
    ASSERT_NE(device.AllAudioSources().Get(0), nullptr);
    EXPECT_EQ(device.AllAudioSources().Get(0)->Name(), QStringLiteral("clip.m2ts"));
    EXPECT_EQ(device.CurrentGraph(), nullptr);
}

// A pipeline of the test's own, as the media system owns one: each pad of
// the splitter goes through a queue (so that one stream waiting for the
// others does not stop the demultiplexer) to a fake sink when it appears.
class InGraph : public testing::Test
{
protected:
    void SetUp() override
    {
        FPipeline = gst_pipeline_new(nullptr);
        gst_object_ref_sink(FPipeline);
    }

    // The pipeline stops before the device leaves it, as the media system
    // does: a splitter cannot leave a pipeline whose sinks wait for data.
    void TearDown() override
    {
        gst_element_set_state(FPipeline, GST_STATE_NULL);
        FDevice.reset();
        gst_object_unref(FPipeline);
    }

    static void OnPadAdded(GstElement *, GstPad *pad, gpointer pipeline)
    {
        GstElement *queue = gst_element_factory_make("queue", nullptr);
        GstElement *sink = gst_element_factory_make("fakesink", nullptr);
        g_object_set(sink, "sync", FALSE, nullptr);
        gst_bin_add_many(GST_BIN(pipeline), queue, sink, nullptr);
        gst_element_link(queue, sink);
        gst_element_sync_state_with_parent(sink);
        gst_element_sync_state_with_parent(queue);
        GstPad *sinkPad = gst_element_get_static_pad(queue, "sink");
        gst_pad_link(pad, sinkPad);
        gst_object_unref(sinkPad);
    }

    // Sets the pipeline to paused, waits for the splitter's pads and for
    // the sinks to preroll.
    bool Pause()
    {
        gst_element_set_state(FPipeline, GST_STATE_PAUSED);
        GstBus *bus = gst_element_get_bus(FPipeline);
        bool announced = false;
        while (GstMessage *message = gst_bus_timed_pop_filtered(
                   bus, 10 * GST_SECOND, GstMessageType(GST_MESSAGE_APPLICATION | GST_MESSAGE_ERROR))) {
            announced = GST_MESSAGE_TYPE(message) == GST_MESSAGE_APPLICATION
                        && gst_structure_has_name(gst_message_get_structure(message), kSplitterPadsMessage);
            gst_message_unref(message);
            if (announced)
                break;
        }
        gst_object_unref(bus);
        return announced && Prerolled();
    }

    bool Prerolled()
    {
        return gst_element_get_state(FPipeline, nullptr, nullptr, 10 * GST_SECOND)
               == GST_STATE_CHANGE_SUCCESS;
    }

    GstPad *PadOfKind(GstElement *element, TPinKind kind)
    {
        GstPad *found = nullptr;
        GstIterator *pads = gst_element_iterate_src_pads(element);
        GValue item = G_VALUE_INIT;
        while (!found && gst_iterator_next(pads, &item) == GST_ITERATOR_OK) {
            GstPad *pad = GST_PAD(g_value_get_object(&item));
            if (PinKindOf(pad) == kind)
                found = pad;
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(pads);
        return found;  // the element keeps it alive
    }

    GstElement *FPipeline = nullptr;
    std::unique_ptr<Tm2tsFileDevice> FDevice;
};

TEST_F(InGraph, AddsSeeksAndReportsUse)
{
    FDevice = std::make_unique<Tm2tsFileDevice>(Fixture("small3s.m2ts"));
    Tm2tsFileDevice &device = *FDevice;
    ASSERT_TRUE(device.Valid());
    EXPECT_TRUE(device.IsUnused());
    ASSERT_TRUE(device.AddToGraph(FPipeline));
    EXPECT_EQ(device.CurrentGraph(), FPipeline);
    GstElement *splitter = device.Splitter();
    ASSERT_NE(splitter, nullptr);
    // The same graph again: nothing changes, both sources share the splitter.
    EXPECT_TRUE(device.AddToGraph(FPipeline));
    EXPECT_EQ(device.Splitter(), splitter);
    EXPECT_EQ(device.OutputFilter(), splitter);
    EXPECT_EQ(device.Duration(), 30'000'000);

    g_signal_connect(splitter, "pad-added", G_CALLBACK(OnPadAdded), FPipeline);
    ASSERT_TRUE(Pause());
    EXPECT_FALSE(device.IsUnused());
    EXPECT_NEAR(double(device.GetDuration()), 30'000'000.0, 1'400'000.0);  // GStreamer's estimate

    device.SetPosition(15'000'000);
    ASSERT_TRUE(Prerolled());
    EXPECT_NEAR(double(device.GetPosition()), 15'000'000.0, 400'000.0);

    GstPad *video = PadOfKind(splitter, TPinKind::Video);
    GstPad *audio = PadOfKind(splitter, TPinKind::Audio);
    ASSERT_NE(video, nullptr);
    ASSERT_NE(audio, nullptr);
    GstPad *videoPeer = gst_pad_get_peer(video);
    gst_pad_unlink(video, videoPeer);
    EXPECT_FALSE(device.IsUnused()) << "the audio source still plays";
    GstPad *audioPeer = gst_pad_get_peer(audio);
    gst_pad_unlink(audio, audioPeer);
    EXPECT_TRUE(device.IsUnused());
    gst_object_unref(videoPeer);
    gst_object_unref(audioPeer);

    gst_element_set_state(FPipeline, GST_STATE_NULL);
    device.RemoveFromGraph();
    EXPECT_EQ(device.CurrentGraph(), nullptr);
    EXPECT_EQ(device.Splitter(), nullptr);
    EXPECT_TRUE(device.IsUnused());
    EXPECT_EQ(device.GetPosition(), 0);
    EXPECT_EQ(device.Duration(), 30'000'000);
}

}  // namespace
