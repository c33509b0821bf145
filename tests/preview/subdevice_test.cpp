// DV and byte-stream sub-devices: a DV file made here with ffmpeg, whose
// whole stream gets a DV device with one video and one audio source, and a
// transport stream kept whole, whose byte-stream pad gets a stream device
// with no source.
#include "src/preview/mediadevice.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

// One second of PAL DV with stereo 48 kHz sound.
QString MakeDvFile(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("camera.dv"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-hide_banner",
                                            "-loglevel",
                                            "error",
                                            "-y",
                                            "-f",
                                            "lavfi",
                                            "-i",
                                            "testsrc2=size=720x576:rate=25:duration=1",
                                            "-f",
                                            "lavfi",
                                            "-i",
                                            "sine=frequency=440:sample_rate=48000:duration=1",
                                            "-c:v",
                                            "dvvideo",
                                            "-pix_fmt",
                                            "yuv420p",
                                            "-c:a",
                                            "pcm_s16le",
                                            "-ar",
                                            "48000",
                                            "-ac",
                                            "2",
                                            "-f",
                                            "dv",
                                            path});
    if (!ffmpeg.waitForFinished(60'000) || ffmpeg.exitCode() != 0)
        return {};
    return path;
}

int ChildCount(GstElement *bin)
{
    return int(GST_BIN_NUMCHILDREN(GST_BIN(bin)));
}

// A DV file kept whole by its device, and that device's one DV device.
class DVDevice : public testing::Test
{
protected:
    void SetUp() override
    {
        const QString path = MakeDvFile(FDir);
        ASSERT_FALSE(path.isEmpty()) << "ffmpeg could not make the DV file";
        FDevice = std::make_unique<TSystemStreamFileDevice>(path);
        ASSERT_EQ(FDevice->DvDevices().Count(), 1);
        FDv = FDevice->DvDevices().Get(0);
    }

    QTemporaryDir FDir;
    std::unique_ptr<TSystemStreamFileDevice> FDevice;
    TMediaDevice *FDv = nullptr;
};

TEST_F(DVDevice, InterleavedPadGetsADvDeviceWhoseSourcesAreCollected)
{
    const TSystemStreamFileDevice &device = *this->FDevice;
    ASSERT_TRUE(device.Valid());
    EXPECT_EQ(device.InterleavedCount(), 1);
    EXPECT_EQ(device.StreamCount(), 0);
    // None of its own: the main window previews nothing for it.
    EXPECT_EQ(device.VideoCount(), 0);
    EXPECT_EQ(device.AudioCount(), 0);
    EXPECT_EQ(device.VideoSources().Count(), 0);
    EXPECT_EQ(device.AudioSources().Count(), 0);

    EXPECT_EQ(device.StreamDevices().Count(), 0);
    auto *dv = dynamic_cast<TDVDevice *>(this->FDv);
    ASSERT_NE(dv, nullptr);
    EXPECT_TRUE(dv->Valid());
    EXPECT_EQ(dv->Parent(), &device);
    EXPECT_EQ(dv->Number(), 1);
    EXPECT_EQ(dv->DisplayName(), QStringLiteral("camera.dv"));
    EXPECT_EQ(dv->VideoCount(), 1);
    EXPECT_EQ(dv->AudioCount(), 1);
    ASSERT_NE(dv->Notifier(), nullptr);
    EXPECT_EQ(dv->CurrentGraph(), nullptr);

    ASSERT_EQ(device.AllVideoSources().Count(), 1);
    ASSERT_EQ(device.AllAudioSources().Count(), 1);
    EXPECT_EQ(device.AllVideoSources().Get(0), dv->VideoSources().Get(0));
    EXPECT_EQ(device.AllAudioSources().Get(0), dv->AudioSources().Get(0));
    EXPECT_EQ(device.AllVideoSources().Get(0)->Device(), dv);
    EXPECT_EQ(device.AllVideoSources().Get(1), nullptr);
}

TEST_F(DVDevice, JoinsAndLeavesAGraphWithItsParentAgainAndAgain)
{
    GstElement *graph = gst_pipeline_new(nullptr);
    gst_object_ref_sink(graph);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(FDv->AddToGraph(graph));
        EXPECT_TRUE(FDv->AddToGraph(graph));  // already there
        EXPECT_EQ(FDevice->CurrentGraph(), graph);
        EXPECT_EQ(ChildCount(graph), 2);  // the parent's splitter and the DV splitter
        ASSERT_NE(FDv->OutputFilter(), nullptr);
        FDv->RemoveFromGraph();
        EXPECT_EQ(FDevice->CurrentGraph(), nullptr);
        EXPECT_EQ(FDv->OutputFilter(), nullptr);
        EXPECT_EQ(ChildCount(graph), 0);
    }
    gst_object_unref(graph);
}

// Each pad the DV splitter adds feeds a sink of its own.
void SinkEveryPad(GstElement *splitter, GstPad *pad, gpointer graph)
{
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    gst_bin_add(GST_BIN(graph), sink);
    gst_element_sync_state_with_parent(sink);
    GstPad *input = gst_element_get_static_pad(sink, "sink");
    gst_pad_link(pad, input);
    gst_object_unref(input);
    (void)splitter;
}

TEST_F(DVDevice, PlaysItsVideoAndAudioInAGraphOfTheCallers)
{
    GstElement *graph = gst_pipeline_new(nullptr);
    gst_object_ref_sink(graph);
    ASSERT_TRUE(FDv->AddToGraph(graph));
    g_signal_connect(FDv->OutputFilter(), "pad-added", G_CALLBACK(SinkEveryPad), graph);
    ASSERT_NE(gst_element_set_state(graph, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    GstBus *bus = gst_element_get_bus(graph);
    // The DV splitter says when its pads are all there: video data left it.
    bool announced = false;
    while (GstMessage *message = gst_bus_timed_pop_filtered(
               bus, 30 * GST_SECOND, GstMessageType(GST_MESSAGE_APPLICATION | GST_MESSAGE_ERROR))) {
        const bool error = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
        announced = !error && GST_MESSAGE_SRC(message) == GST_OBJECT(FDv->OutputFilter())
                    && gst_structure_has_name(gst_message_get_structure(message), kSplitterPadsMessage);
        gst_message_unref(message);
        if (error || announced)
            break;
    }
    gst_object_unref(bus);
    ASSERT_TRUE(announced);
    // The parent's interleaved pad feeds the notifier; video and audio come out.
    EXPECT_NE(FDv->OutputPin(), nullptr);
    int linked = 0;
    GstIterator *pads = gst_element_iterate_src_pads(FDv->OutputFilter());
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(pads, &item) == GST_ITERATOR_OK) {
        linked += gst_pad_is_linked(GST_PAD(g_value_get_object(&item))) ? 1 : 0;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(pads);
    EXPECT_EQ(linked, 2);
    EXPECT_FALSE(FDv->IsUnused());
    gst_element_set_state(graph, GST_STATE_NULL);
    FDv->RemoveFromGraph();
    gst_object_unref(graph);
}

TEST(StreamDevice, ByteStreamPadGetsAStreamDeviceWithNoSource)
{
    const TSystemStreamFileDevice device(QStringLiteral(TAVREL_FIXTURE_DIR "/small1s.m2ts"));
    ASSERT_TRUE(device.Valid());
    EXPECT_EQ(device.StreamCount(), 1);
    EXPECT_EQ(device.InterleavedCount(), 0);
    EXPECT_EQ(device.DvDevices().Count(), 0);
    ASSERT_EQ(device.StreamDevices().Count(), 1);
    const TMediaDevice *stream = device.StreamDevices().Get(0);
    EXPECT_NE(dynamic_cast<const TStreamDevice *>(stream), nullptr);
    EXPECT_EQ(stream->Parent(), &device);
    EXPECT_EQ(stream->VideoSources().Count() + stream->AudioSources().Count(), 0);
    EXPECT_EQ(stream->OutputFilter(), nullptr);
    EXPECT_EQ(stream->CurrentGraph(), nullptr);
    EXPECT_EQ(device.AllVideoSources().Count(), 0);
    EXPECT_EQ(device.AllAudioSources().Count(), 0);
}

TEST(StreamDevice, AClipDeviceSplitsTheSameFileIntoSourcesAndHasNoSubDevice)
{
    const Tm2tsFileDevice clip(QStringLiteral(TAVREL_FIXTURE_DIR "/small1s.m2ts"));
    EXPECT_EQ(clip.StreamDevices().Count() + clip.DvDevices().Count(), 0);
    EXPECT_EQ(clip.VideoCount(), 1);
    EXPECT_EQ(clip.AudioCount(), 1);
}

}  // namespace
