#include "src/preview/notifier.h"

#include <QCoreApplication>

#include <gst/audio/audio.h>
#include <gst/base/gstbasetransform.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <numeric>

namespace {

using namespace MediaGuids;

constexpr std::int64_t kNanosecondsPerUnit = 100;

// --- the process-wide reports

struct TSharedReports
{
    std::mutex Lock;
    TvData Video;
    TaData Audio;
};

TSharedReports &Shared()
{
    static TSharedReports reports;
    return reports;
}

// --- caps as a neutral media type

struct TRawVideo
{
    GstVideoFormat format;
    const TGuid *subType;  // null: the four-character code of the format
    std::uint32_t fourCC;
    std::int32_t bitCount;
};

// The raw formats a decoder may give, as the platform names them.
const TRawVideo RawVideoFormats[] = {
    {GST_VIDEO_FORMAT_I420, nullptr, MakeFourCC('I', '4', '2', '0'), 12},
    {GST_VIDEO_FORMAT_YV12, nullptr, MakeFourCC('Y', 'V', '1', '2'), 12},
    {GST_VIDEO_FORMAT_NV12, nullptr, MakeFourCC('N', 'V', '1', '2'), 12},
    {GST_VIDEO_FORMAT_YUY2, nullptr, MakeFourCC('Y', 'U', 'Y', '2'), 16},
    {GST_VIDEO_FORMAT_UYVY, nullptr, MakeFourCC('U', 'Y', 'V', 'Y'), 16},
    {GST_VIDEO_FORMAT_Y42B, nullptr, MakeFourCC('Y', '4', '2', 'B'), 16},
    {GST_VIDEO_FORMAT_BGR, &RGB24, 0, 24},
    {GST_VIDEO_FORMAT_BGRx, &RGB32, 0, 32},
    {GST_VIDEO_FORMAT_BGRA, &RGB32, 0, 32},
    {GST_VIDEO_FORMAT_RGB16, &RGB565, 0, 16},
    {GST_VIDEO_FORMAT_RGB15, &RGB555, 0, 16},
};

// Picture size, time per frame and picture aspect of video caps.
void ReadPicture(const GstStructure *s, TMediaType &type)
{
    gst_structure_get_int(s, "width", &type.Width);
    gst_structure_get_int(s, "height", &type.Height);
    int num = 0, den = 1;
    if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0)
        type.AvgTimePerFrame = gst_util_uint64_scale_int(10'000'000, den, num);
    int parN = 1, parD = 1;
    if (!gst_structure_get_fraction(s, "pixel-aspect-ratio", &parN, &parD) || parN <= 0 || parD <= 0)
        parN = parD = 1;
    const std::int64_t x = std::int64_t(type.Width) * parN, y = std::int64_t(type.Height) * parD;
    if (x > 0 && y > 0) {
        const std::int64_t g = std::gcd(x, y);
        type.AspectX = std::int32_t(x / g);
        type.AspectY = std::int32_t(y / g);
    }
    guint bitrate = 0;
    if (gst_structure_get_uint(s, "bitrate", &bitrate))
        type.BitRate = std::int32_t(bitrate);
}

void VideoType(const GstCaps *caps, const GstStructure *s, TMediaType &type)
{
    type.MajorType = Video;
    const char *name = gst_structure_get_name(s);
    ReadPicture(s, type);
    if (g_str_equal(name, "video/x-raw")) {
        GstVideoInfo info;
        if (!gst_video_info_from_caps(&info, caps))
            return;
        for (const TRawVideo &raw : RawVideoFormats)
            if (raw.format == GST_VIDEO_INFO_FORMAT(&info)) {
                type.SubType = raw.subType ? *raw.subType : FourCCGuid(raw.fourCC);
                type.Compression = raw.fourCC;
                type.BitCount = raw.bitCount;
            }
        type.FormatType = VideoInfo2;
        type.FormatSize = FormatSizes::kVideoInfo2;
        return;
    }
    int mpegVersion = 0;
    gst_structure_get_int(s, "mpegversion", &mpegVersion);
    gboolean system = FALSE;
    gst_structure_get_boolean(s, "systemstream", &system);
    const auto fourCC = [&type](std::uint32_t code, const TGuid &format, int size) {
        type.SubType = FourCCGuid(code);
        type.Compression = code;
        type.FormatType = format;
        type.FormatSize = size;
    };
    if (g_str_equal(name, "video/x-h264"))
        fourCC(MakeFourCC('H', '2', '6', '4'), VideoInfo2, FormatSizes::kVideoInfo2);
    else if (g_str_equal(name, "video/x-h265"))
        fourCC(MakeFourCC('H', 'E', 'V', 'C'), VideoInfo2, FormatSizes::kVideoInfo2);
    else if (g_str_equal(name, "video/x-dv") && !system)
        fourCC(MakeFourCC('d', 'v', 's', 'd'), VideoInfo, FormatSizes::VideoInfo);
    else if (g_str_equal(name, "video/x-dv")) {
        type.MajorType = Interleaved;
        fourCC(MakeFourCC('d', 'v', 's', 'd'), DvInfo, FormatSizes::kDvInfo);
    } else if (g_str_equal(name, "video/mpeg") && mpegVersion == 2) {
        type.SubType = Mpeg2Video;
        type.FormatType = Mpeg2VideoFormat;
        type.FormatSize = FormatSizes::kMpeg2Video;
    } else if (g_str_equal(name, "video/mpeg") && mpegVersion == 1) {
        type.SubType = Mpeg1Video;
        type.FormatType = MpegVideo;
        type.FormatSize = FormatSizes::kMpeg1Video;
    } else if (g_str_equal(name, "video/mpeg") && mpegVersion == 4)
        fourCC(MakeFourCC('M', 'P', '4', 'V'), VideoInfo2, FormatSizes::kVideoInfo2);
}

void WaveFormat(const GstStructure *s, std::uint16_t tag, TMediaType &type)
{
    type.FormatType = WaveFormatEx;
    type.FormatSize = FormatSizes::kWaveFormatEx;
    type.FormatTag = tag;
    gst_structure_get_int(s, "channels", &type.Channels);
    gst_structure_get_int(s, "rate", &type.SampleRate);
    int bitrate = 0;
    if (gst_structure_get_int(s, "bitrate", &bitrate))
        type.AvgBytesPerSec = bitrate / 8;
}

void AudioType(const GstCaps *caps, const GstStructure *s, TMediaType &type)
{
    type.MajorType = Audio;
    const char *name = gst_structure_get_name(s);
    int mpegVersion = 0, layer = 0;
    gst_structure_get_int(s, "mpegversion", &mpegVersion);
    gst_structure_get_int(s, "layer", &layer);
    if (g_str_equal(name, "audio/x-raw")) {
        GstAudioInfo info;
        if (!gst_audio_info_from_caps(&info, caps))
            return;
        const bool isFloat = GST_AUDIO_FORMAT_INFO_IS_FLOAT(info.finfo);
        type.SubType = FourCCGuid(isFloat ? 3 : 1);
        WaveFormat(s, isFloat ? 3 : 1, type);
        type.BitsPerSample = GST_AUDIO_INFO_WIDTH(&info);
        type.AvgBytesPerSec = GST_AUDIO_INFO_RATE(&info) * GST_AUDIO_INFO_BPF(&info);
    } else if (g_str_equal(name, "audio/x-ac3") || g_str_equal(name, "audio/ac3")
               || g_str_equal(name, "audio/x-eac3")) {
        type.SubType = DolbyAC3;
        WaveFormat(s, 0x2000, type);
    } else if (g_str_has_suffix(name, "-lpcm")) {
        type.SubType = DvdLpcm;
        WaveFormat(s, 1, type);
        gst_structure_get_int(s, "width", &type.BitsPerSample);
    } else if (g_str_equal(name, "audio/x-dts")) {
        type.SubType = FourCCGuid(0x2001);
        WaveFormat(s, 0x2001, type);
    } else if (g_str_equal(name, "audio/mpeg") && mpegVersion == 1 && layer == 3) {
        type.SubType = FourCCGuid(0x55);
        WaveFormat(s, 0x55, type);
    } else if (g_str_equal(name, "audio/mpeg") && mpegVersion == 1) {
        type.SubType = Mpeg1Audio;
        WaveFormat(s, 0x50, type);
    } else if (g_str_equal(name, "audio/mpeg")) {
        type.SubType = FourCCGuid(0xFF);
        WaveFormat(s, 0xFF, type);
    }
}

// --- the element

struct TavrelNotifier
{
    GstBaseTransform parent;
    TNotifier *owner;
};

struct TavrelNotifierClass
{
    GstBaseTransformClass parent_class;
};

GType tavrel_notifier_get_type();
G_DEFINE_TYPE(TavrelNotifier, tavrel_notifier, GST_TYPE_BASE_TRANSFORM)

TNotifier *OwnerOf(GstBaseTransform *transform)
{
    return reinterpret_cast<TavrelNotifier *>(transform)->owner;
}

gboolean NotifierAcceptCaps(GstBaseTransform *transform, GstPadDirection direction, GstCaps *caps)
{
    TNotifier *owner = OwnerOf(transform);
    if (direction == GST_PAD_SINK && owner && !owner->CheckInputType(MediaTypeOfCaps(caps)))
        return FALSE;
    return GST_BASE_TRANSFORM_CLASS(tavrel_notifier_parent_class)->accept_caps(transform, direction, caps);
}

gboolean NotifierSetCaps(GstBaseTransform *transform, GstCaps *incaps, GstCaps *)
{
    if (TNotifier *owner = OwnerOf(transform))
        owner->StartStreaming(MediaTypeOfCaps(incaps));
    return TRUE;
}

std::int64_t Units(GstClockTime time)
{
    return GST_CLOCK_TIME_IS_VALID(time) ? std::int64_t(time / kNanosecondsPerUnit) : -1;
}

GstFlowReturn NotifierTransformIp(GstBaseTransform *transform, GstBuffer *buffer)
{
    TNotifier *owner = OwnerOf(transform);
    if (!owner)
        return GST_FLOW_OK;
    const GstClockTime pts = GST_BUFFER_PTS(buffer), duration = GST_BUFFER_DURATION(buffer);
    const std::int64_t start = Units(pts);
    const std::int64_t stop =
        GST_CLOCK_TIME_IS_VALID(pts) && GST_CLOCK_TIME_IS_VALID(duration) ? Units(pts + duration) : -1;
    GstMapInfo map;
    if (owner->AnalyseSamples() && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        owner->Transform(map.data, map.size, start, stop);
        gst_buffer_unmap(buffer, &map);
    } else {
        owner->Transform(nullptr, 0, start, stop);
    }
    return GST_FLOW_OK;
}

void tavrel_notifier_class_init(TavrelNotifierClass *klass)
{
    GstElementClass *element = GST_ELEMENT_CLASS(klass);
    static GstStaticPadTemplate sink =
        GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
    static GstStaticPadTemplate src =
        GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
    gst_element_class_add_static_pad_template(element, &sink);
    gst_element_class_add_static_pad_template(element, &src);
    gst_element_class_set_static_metadata(element, "Morvek's Notifier", "Filter",
                                          "Reports the stream format it sees", "Tavrel");
    GstBaseTransformClass *base = GST_BASE_TRANSFORM_CLASS(klass);
    base->accept_caps = NotifierAcceptCaps;
    base->set_caps = NotifierSetCaps;
    base->transform_ip = NotifierTransformIp;
    base->transform_ip_on_passthrough = TRUE;
    base->passthrough_on_same_caps = TRUE;
}

void tavrel_notifier_init(TavrelNotifier *self)
{
    self->owner = nullptr;
    gst_base_transform_set_in_place(&self->parent, TRUE);
    gst_base_transform_set_passthrough(&self->parent, TRUE);
}

}  // namespace

TvData VideoReport()
{
    std::lock_guard lock(Shared().Lock);
    return Shared().Video;
}

TaData AudioReport()
{
    std::lock_guard lock(Shared().Lock);
    return Shared().Audio;
}

void SetAudioCodecName(const QByteArray &name)
{
    std::lock_guard lock(Shared().Lock);
    Shared().Audio.CodecName = name;
}

void ClearReports()
{
    std::lock_guard lock(Shared().Lock);
    Shared().Video = TvData();
    Shared().Audio = TaData();
}

TMediaType MediaTypeOfCaps(const GstCaps *caps)
{
    TMediaType type;
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return type;
    const GstStructure *s = gst_caps_get_structure(caps, 0);
    const char *name = gst_structure_get_name(s);
    if (g_str_has_prefix(name, "video/"))
        VideoType(caps, s, type);
    else if (g_str_has_prefix(name, "audio/"))
        AudioType(caps, s, type);
    else if (g_str_equal(name, "application/octet-stream"))
        type.MajorType = Stream;
    return type;
}

// --- TNotifier

TNotifier::TNotifier(const char *name)
{
    FFilter = GST_ELEMENT(g_object_new(tavrel_notifier_get_type(), "name", name, nullptr));
    gst_object_ref_sink(FFilter);
    reinterpret_cast<TavrelNotifier *>(FFilter)->owner = this;
}

TNotifier::~TNotifier()
{
    // The element may outlive us in a pipeline that still holds it; that
    // pipeline is stopped by then, so no streaming thread reads the owner.
    reinterpret_cast<TavrelNotifier *>(FFilter)->owner = nullptr;
    gst_object_unref(FFilter);
}

void TNotifier::Reset()
{
    ReportFormat = false;
    ReportPicture = false;
    ReportAudio = false;
    std::lock_guard lock(FLock);
    FAcceptedType = TMediaType();
}

void TNotifier::SetNotifyWindow(QObject *window)
{
    std::lock_guard lock(FLock);
    FWindow = window;
}

TMediaType TNotifier::AcceptedType() const
{
    std::lock_guard lock(FLock);
    return FAcceptedType;
}

bool TNotifier::CheckInputType(const TMediaType &offered) const
{
    std::lock_guard lock(FLock);
    const auto matches = [](const TGuid &accepted, const TGuid &guid) {
        return accepted.IsNull() || accepted == guid;
    };
    return matches(FAcceptedType.MajorType, offered.MajorType)
           && matches(FAcceptedType.SubType, offered.SubType)
           && matches(FAcceptedType.FormatType, offered.FormatType);
}

void TNotifier::StartStreaming(const TMediaType &input)
{
    FAnalyseSamples = false;
    {
        std::lock_guard lock(FLock);
        FAcceptedType = input;
    }
    bool postVideo = false, postAudio = false, analyse = false;
    {
        std::lock_guard lock(Shared().Lock);
        TvData &video = Shared().Video;
        TaData &audio = Shared().Audio;
        // Only a notifier that reports audio resets its rate, so that the
        // first DV frame of the run reports again; a video notifier
        // starting beside it must not undo an audio report.
        if (ReportAudio)
            audio.SampleRate = 0;
        if (input.MajorType == Video) {
            video.MajorType = input.MajorType;
            video.SubType = input.SubType;
            video.FormatType = input.FormatType;
        } else if (input.MajorType == Audio) {
            audio.MajorType = input.MajorType;
            audio.SubType = input.SubType;
            audio.FormatType = input.FormatType;
        }
        if (ReportFormat || ReportPicture) {
            const TVideoStart start = StartVideoReport(input, ReportFormat, ReportPicture, video);
            postVideo = start.Posted;
            analyse = start.Analyse;
        }
        if (ReportAudio) {
            const TAudioStart start = StartAudioReport(input, audio);
            postAudio = start.Posted;
            analyse = analyse || start.Analyse;
        }
    }
    FAnalyseSamples = analyse;
    if (postVideo)
        PostVideo();
    if (postAudio)
        PostAudio();
}

void TNotifier::Transform(const std::uint8_t *data, std::size_t size, std::int64_t start, std::int64_t stop)
{
    if (FAnalyseSamples && data) {
        const TGuid format = AcceptedType().FormatType;
        const bool dvsd = AcceptedType().SubType == FourCCGuid(MakeFourCC('d', 'v', 's', 'd'));
        bool postVideo = false, postAudio = false;
        {
            std::lock_guard lock(Shared().Lock);
            if (format == Mpeg2VideoFormat && ReportFormat)
                postVideo = AnalyseMpeg2Header(data, size, Shared().Video);
            else if (format == VideoInfo && dvsd && ReportFormat)
                postVideo = AnalyseDvVideo(data, size, 2, Shared().Video);
            else if (format == DvInfo) {
                if (ReportFormat)
                    postVideo = AnalyseDvVideo(data, size, 1, Shared().Video);
                if (ReportAudio)
                    postAudio = AnalyseDvAudio(data, size, Shared().Audio);
            }
        }
        if (postVideo)
            PostVideo();
        if (postAudio)
            PostAudio();
    }
    if (!TrackTiming)
        return;
    // The first picture after a seek is cut to start at the target, so its
    // duration is shorter than a frame's: it is not a measure when the
    // type gives the frame duration.
    const std::int64_t typeFrame = AcceptedType().AvgTimePerFrame;
    if (start >= 0 && stop > start && (typeFrame <= 0 || (stop - start) * 10 >= typeFrame * 9)) {
        std::lock_guard lock(Shared().Lock);
        Shared().Video.FrameDuration = stop - start;
    }
    if (TPendingEvent::Claim(FPositionPending))
        Post(new TPositionEvent(FPositionPending));
}

void TNotifier::Post(QEvent *event)
{
    std::lock_guard lock(FLock);
    if (FWindow)
        QCoreApplication::postEvent(FWindow, event);
    else
        delete event;
}

void TNotifier::PostVideo()
{
    Post(new TReportEvent(VideoReport()));
}

void TNotifier::PostAudio()
{
    Post(new TReportEvent(AudioReport()));
}
