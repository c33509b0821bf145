// The notifier as a GStreamer element: caps read as media types, reports
// and position events posted to a receiver, the accepted type kept.
#include "src/preview/notifier.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace MediaGuids;

TMediaType TypeOf(const char *caps)
{
    GstCaps *parsed = gst_caps_from_string(caps);
    const TMediaType type = MediaTypeOfCaps(parsed);
    gst_caps_unref(parsed);
    return type;
}

struct CapsCase
{
    const char *caps;
    TGuid major, sub, format;
    int width, aspectX, aspectY;
    std::int64_t timePerFrame;
    int channels, rate, bits;
};

class CapsTable : public testing::TestWithParam<CapsCase>
{ };

TEST_P(CapsTable, TranslatedIntoTheNeutralType)
{
    const CapsCase &c = GetParam();
    const TMediaType t = TypeOf(c.caps);
    EXPECT_EQ(t.MajorType, c.major);
    EXPECT_EQ(t.SubType, c.sub);
    EXPECT_EQ(t.FormatType, c.format);
    EXPECT_EQ(t.Width, c.width);
    EXPECT_EQ(t.AspectX, c.aspectX);
    EXPECT_EQ(t.AspectY, c.aspectY);
    EXPECT_EQ(t.AvgTimePerFrame, c.timePerFrame);
    EXPECT_EQ(t.Channels, c.channels);
    EXPECT_EQ(t.SampleRate, c.rate);
    EXPECT_EQ(t.BitsPerSample, c.bits);
}

const TGuid H264 = FourCCGuid(MakeFourCC('H', '2', '6', '4'));

INSTANTIATE_TEST_SUITE_P(
    Caps, CapsTable,
    testing::Values(CapsCase {"video/x-h264, width=1920, height=1080, framerate=25/1, pixel-aspect-ratio=1/1",
                              Video, H264, VideoInfo2, 1920, 16, 9, 400'000, 0, 0, 0},
                    CapsCase {"video/x-h264, width=1440, height=1080, framerate=25/1, pixel-aspect-ratio=4/3",
                              Video, H264, VideoInfo2, 1440, 16, 9, 400'000, 0, 0, 0},
                    CapsCase {"video/x-raw, format=I420, width=1920, height=1080, framerate=30000/1001",
                              Video, FourCCGuid(MakeFourCC('I', '4', '2', '0')), VideoInfo2, 1920, 16, 9,
                              333'666, 0, 0, 0},
                    CapsCase {"audio/x-ac3, channels=2, rate=48000", Audio, DolbyAC3, WaveFormatEx, 0, 0, 0,
                              0, 2, 48000, 0},
                    CapsCase {"audio/x-ac3, channels=6, rate=48000", Audio, DolbyAC3, WaveFormatEx, 0, 0, 0,
                              0, 6, 48000, 0},
                    CapsCase {"audio/x-private-ts-lpcm, channels=2, rate=48000", Audio, DvdLpcm, WaveFormatEx,
                              0, 0, 0, 0, 2, 48000, 0},
                    CapsCase {"audio/x-raw, format=S16LE, layout=interleaved, channels=2, rate=48000, "
                              "channel-mask=(bitmask)0x3",
                              Audio, FourCCGuid(1), WaveFormatEx, 0, 0, 0, 0, 2, 48000, 16},
                    CapsCase {"application/x-unknown", TGuid {}, TGuid {}, TGuid {}, 0, 0, 0, 0, 0, 0, 0}));

TEST(CapsTable, SourceStreamCodecNames)
{
    EXPECT_EQ(AudioCodecName(TypeOf("audio/x-ac3, channels=2, rate=48000")), QByteArray("DOLBY AC3"));
    EXPECT_EQ(AudioCodecName(TypeOf("audio/x-private-ts-lpcm, channels=2, rate=48000")), QByteArray("LPCM"));
    EXPECT_EQ(AudioCodecName(TypeOf("audio/mpeg, mpegversion=1, layer=3, rate=48000, channels=2")),
              QByteArray("MP3"));
    EXPECT_EQ(AudioCodecName(TypeOf("video/x-h264")), QByteArray("???"));
}

// Collects what a notifier posts.
class TReceiver : public QObject
{
public:
    std::vector<TvData> Videos;
    std::vector<TaData> Audios;
    int Positions = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == kReportEventType) {
            const auto *report = static_cast<TReportEvent *>(e);
            if (report->Kind == rkVideo)
                Videos.push_back(report->Video);
            else
                Audios.push_back(report->Audio);
            return true;
        }
        if (e->type() == kPositionEventType) {
            EXPECT_EQ(static_cast<TPositionEvent *>(e)->Kind, rkPosition);
            ++Positions;
            return true;
        }
        return QObject::event(e);
    }
};

// Runs "source ! notifier ! fakesink" to its end, then delivers the events.
void RunThrough(TNotifier &notifier, const char *source)
{
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *src = gst_parse_bin_from_description(source, TRUE, nullptr);
    ASSERT_NE(src, nullptr);
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, notifier.Filter(), sink, nullptr);
    ASSERT_TRUE(gst_element_link_many(src, notifier.Filter(), sink, nullptr));
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *end =
        gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS);
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(pipeline), notifier.Filter());
    gst_object_unref(pipeline);
    QCoreApplication::sendPostedEvents();
}

TEST(NotifierElement, VideoReportAndOnePositionEventAtATime)
{
    ClearReports();
    TReceiver receiver;
    TNotifier notifier("Video Native Notifier");
    notifier.SetNotifyWindow(&receiver);
    notifier.Reset();
    notifier.ReportFormat = true;
    notifier.ReportPicture = true;
    notifier.TrackTiming = true;
    RunThrough(notifier, "videotestsrc num-buffers=10 ! capsfilter "
                         "caps=video/x-raw,format=I420,width=320,height=180,framerate=25/1");
    ASSERT_EQ(receiver.Videos.size(), 1u);
    EXPECT_EQ(receiver.Videos[0].SizeText, QByteArray("320x180 - 25 fps"));
    EXPECT_EQ(receiver.Videos[0].Description, QByteArray("I420 (16x9)"));
    // Buffers went by faster than the events were delivered: they were
    // folded into one pending event, not queued one per buffer.
    EXPECT_EQ(receiver.Positions, 1);
    EXPECT_EQ(VideoReport().FrameDuration, 400'000);
    // From now on only that type is accepted, until the next reset.
    EXPECT_FALSE(notifier.CheckInputType(TypeOf("audio/x-ac3, channels=2, rate=48000")));
    EXPECT_TRUE(notifier.CheckInputType(TypeOf("video/x-raw, format=I420, width=64, height=64")));
    notifier.Reset();
    EXPECT_TRUE(notifier.CheckInputType(TypeOf("audio/x-ac3, channels=2, rate=48000")));
    EXPECT_FALSE(notifier.ReportFormat);
    EXPECT_TRUE(notifier.TrackTiming);
}

TEST(NotifierElement, AudioReportWithoutPositionEvents)
{
    ClearReports();
    SetAudioCodecName("DOLBY AC3");
    TReceiver receiver;
    TNotifier notifier("Audio Native Notifier");
    notifier.SetNotifyWindow(&receiver);
    notifier.Reset();
    notifier.ReportAudio = true;
    notifier.TrackTiming = false;
    RunThrough(notifier,
               "audiotestsrc num-buffers=5 ! capsfilter caps=audio/x-raw,format=S16LE,channels=2,rate=48000");
    ASSERT_EQ(receiver.Audios.size(), 1u);
    EXPECT_EQ(receiver.Audios[0].Description, QByteArray("DOLBY AC3 48000Hz 16bits  stéréo"));
    EXPECT_EQ(receiver.Videos.size(), 0u);
    EXPECT_EQ(receiver.Positions, 0);
}

TEST(NotifierElement, NothingPostedWithoutAReceiver)
{
    TNotifier notifier;
    notifier.ReportPicture = true;
    notifier.TrackTiming = true;
    RunThrough(notifier,
               "videotestsrc num-buffers=3 ! capsfilter caps=video/x-raw,width=64,height=64,framerate=25/1");
    EXPECT_GT(VideoReport().Width, 0);
}

TEST(NotifierTiming, AClippedFirstPictureIsNoMeasure)
{
    ClearReports();
    TNotifier notifier;
    notifier.ReportPicture = true;
    notifier.TrackTiming = true;
    notifier.StartStreaming(TypeOf("video/x-raw, format=I420, width=64, height=64, framerate=25/1"));
    EXPECT_EQ(VideoReport().FrameDuration, 400'000);
    notifier.Transform(nullptr, 0, 10'300'000, 10'400'000);  // cut by a seek to 1.03 s
    EXPECT_EQ(VideoReport().FrameDuration, 400'000);
    notifier.Reset();
    notifier.StartStreaming(TypeOf("video/x-raw, format=I420, width=64, height=64"));
    notifier.Transform(nullptr, 0, 0, 333'667);
    EXPECT_EQ(VideoReport().FrameDuration, 333'667) << "no rate in the type: every buffer measures";
}

TEST(NotifierElement, AnAcceptedTypeRefusesAnotherCaps)
{
    TNotifier notifier;
    notifier.StartStreaming(TypeOf("video/x-raw, format=I420, width=64, height=64, framerate=25/1"));
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *src = gst_parse_bin_from_description("audiotestsrc num-buffers=3", TRUE, nullptr);
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, notifier.Filter(), sink, nullptr);
    // The link itself only looks at templates; the refusal shows as a
    // negotiation failure once data flows.
    gst_element_link_many(src, notifier.Filter(), sink, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *end =
        gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_ERROR);
    gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(pipeline), notifier.Filter());
    gst_object_unref(pipeline);
}

}  // namespace
