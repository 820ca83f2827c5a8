#include "tavlin_src.h"

#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "camera_session.h"
#include "clock_mapping.h"
#include "src_format.h"
#include "tavlin/tavlin_vcam.h"
#include "thread_handoff.h"

GST_DEBUG_CATEGORY_STATIC(tavlin_src_debug);
#define GST_CAT_DEFAULT tavlin_src_debug

namespace {

using tavlin::gst::CameraSession;
using tavlin::gst::SessionConfig;
using tavlin::gst::SessionError;

constexpr int32_t kMaxDevice = 31;
constexpr int32_t kMaxExposureLines = 16383;
constexpr int32_t kMaxGain = 63;
constexpr int32_t kMaxSubSample = 3;
// How long one wait for a frame may hold the streaming thread before it looks for a flush.
constexpr int32_t kWaitSliceMs = 50;
constexpr guint kMinPoolBuffers = 2;
constexpr uint16_t kOpaqueAlpha = 0xFFFF;
constexpr int kWordsPerPixel64 = 4;

enum Property {
    kPropDevice = 1,
    kPropColorMode,
    kPropX,
    kPropY,
    kPropWidth,
    kPropHeight,
    kPropSubSample,
    kPropExposureUs,
    kPropExposureLines,
    kPropGlobalGain,
    kPropAutoExposure,
    kPropTriggerMode,
    kPropCamera,
};

// Settings that shape the stream can change only while no camera is open.
bool ShapesStream(guint id) {
    return id != kPropExposureUs && id != kPropExposureLines && id != kPropGlobalGain &&
           id != kPropAutoExposure;
}

struct SrcState {
    // Guards everything below against property calls from application threads while the
    // element starts and stops; the streaming thread's own fields are marked.
    std::mutex lock;
    SessionConfig config;
    int32_t colorMode = tavlin::gst::kColorModeAuto;
    CameraSession session;

    // Streaming thread (and caps negotiation, which runs on it).
    GstVideoInfo info{};
    int32_t negotiatedMode = 0;
    // Frame period of the camera as set up now; a live exposure change may alter it.
    std::atomic<int64_t> periodNs{0};
    tavlin::gst::MonotonicClockCheck clockCheck;
    uint64_t lastSequence = 0;
    GstClockTime lastPts = GST_CLOCK_TIME_NONE;
    std::atomic<bool> flushing{false};
};

}  // namespace

struct _GstTavlinSrc {
    GstPushSrc parent;
    SrcState state;  // placement-constructed in init, destroyed in finalize
};

G_DEFINE_TYPE(GstTavlinSrc, gst_tavlin_src, GST_TYPE_PUSH_SRC)
GST_ELEMENT_REGISTER_DEFINE(tavlinsrc, "tavlinsrc", GST_RANK_NONE, GST_TYPE_TAVLIN_SRC)

GType gst_tavlin_color_mode_get_type(void) {
    static GType type = 0;
    static const GEnumValue values[] = {
        {tavlin::gst::kColorModeAuto, "Chosen by the caps (the camera's stored mode first)",
         "auto"},
        {8, "8-bit gray (GRAY8)", "gray8"},
        {16, "16-bit gray with 10 significant bits (GRAY16_LE)", "gray16"},
        {24, "24-bit colour (BGR)", "bgr"},
        {32, "32-bit colour (BGRx)", "bgrx"},
        {48, "48-bit colour: no GStreamer format, refused at start", "bgr48"},
        {64, "64-bit colour with 10 significant bits, opaque alpha (BGRA64_LE)", "bgra64"},
        {0, nullptr, nullptr},
    };
    if (g_once_init_enter(&type)) {
        g_once_init_leave(&type, g_enum_register_static("GstTavlinColorMode", values));
    }
    return type;
}

namespace {

GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format = (string) { GRAY8, GRAY16_LE, BGR, BGRx, BGRA64_LE }, "
                    "width = (int) [ 1, 1280 ], height = (int) [ 1, 1024 ], "
                    "framerate = (fraction) [ 0/1, MAX ], pixel-aspect-ratio = (fraction) 1/1"));

GstCaps* reference_caps = nullptr;  // of the capture time meta, made once in class_init

SrcState& StateOf(gpointer object) {
    return GST_TAVLIN_SRC(object)->state;
}

// Posts a failed setting: an error when the stream cannot start with it, a warning when a
// running stream goes on with the old value.
void PostSettingFailure(GstTavlinSrc* self, const SessionError& error, bool fatal) {
    if (fatal) {
        GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS, ("%s", error.message.c_str()),
                          ("SDK error %d", error.code));
    } else {
        GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS, ("%s", error.message.c_str()),
                            ("SDK error %d; the previous value stays", error.code));
    }
}

// Applies a live setting to the open camera; false with *error when the SDK refused it.
bool ApplyLiveSetting(CameraSession& session, guint id, const GValue* value, SessionError* error) {
    if (G_VALUE_HOLDS_INT(value) && g_value_get_int(value) == tavlin::gst::kKeepCameraValue)
        return true;
    switch (id) {
        case kPropExposureUs:
            return session.SetExposureUs(g_value_get_int(value), error);
        case kPropExposureLines:
            return session.SetExposureLines(g_value_get_int(value), error);
        case kPropGlobalGain:
            return session.SetGlobalGain(g_value_get_int(value), error);
        case kPropAutoExposure:
            return session.SetAutoExposure(g_value_get_boolean(value), error);
        default:
            return true;
    }
}

void gst_tavlin_src_set_property(GObject* object, guint id, const GValue* value,
                                 GParamSpec* pspec) {
    GstTavlinSrc* self = GST_TAVLIN_SRC(object);
    SrcState& s = self->state;
    std::unique_lock<std::mutex> guard(s.lock);
    bool periodChanged = false;
    if (s.session.IsOpen()) {
        if (ShapesStream(id)) {
            guard.unlock();
            GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS,
                                ("'%s' can only be changed while the element is in the NULL or "
                                 "READY state",
                                 g_param_spec_get_name(pspec)),
                                (nullptr));
            return;
        }
        SessionError error;
        if (!ApplyLiveSetting(s.session, id, value, &error)) {
            guard.unlock();
            PostSettingFailure(self, error, false);
            return;
        }
        // A longer exposure stretches the frame: new caps (frame rate) and a new latency.
        TavlinExtFrameTiming timing{};
        if (s.session.Timing(&timing) && timing.framePeriodNs != s.periodNs.load()) {
            s.periodNs = timing.framePeriodNs;
            periodChanged = true;
        }
    }
    SessionConfig& c = s.config;
    switch (id) {
        case kPropDevice:
            c.device = g_value_get_int(value);
            break;
        case kPropColorMode:
            s.colorMode = g_value_get_enum(value);
            break;
        case kPropX:
            c.x = g_value_get_int(value);
            break;
        case kPropY:
            c.y = g_value_get_int(value);
            break;
        case kPropWidth:
            c.width = g_value_get_int(value);
            break;
        case kPropHeight:
            c.height = g_value_get_int(value);
            break;
        case kPropSubSample:
            c.subSample = g_value_get_int(value);
            break;
        case kPropExposureUs:
            c.exposureUs = g_value_get_int(value);
            // The later of the two exposure settings wins at the next start.
            if (c.exposureUs != tavlin::gst::kKeepCameraValue)
                c.exposureLines = tavlin::gst::kKeepCameraValue;
            break;
        case kPropExposureLines:
            c.exposureLines = g_value_get_int(value);
            if (c.exposureLines != tavlin::gst::kKeepCameraValue)
                c.exposureUs = tavlin::gst::kKeepCameraValue;
            break;
        case kPropGlobalGain:
            c.globalGain = g_value_get_int(value);
            break;
        case kPropAutoExposure:
            c.autoExposure = g_value_get_boolean(value);
            break;
        case kPropTriggerMode:
            c.trigger = g_value_get_boolean(value);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
            break;
    }
    guard.unlock();
    if (periodChanged) {
        gst_pad_mark_reconfigure(GST_BASE_SRC_PAD(self));
        gst_element_post_message(GST_ELEMENT(self), gst_message_new_latency(GST_OBJECT(self)));
    }
}

void gst_tavlin_src_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    SrcState& s = StateOf(object);
    std::lock_guard<std::mutex> guard(s.lock);
    const SessionConfig& c = s.config;
    const bool open = s.session.IsOpen();
    switch (id) {
        case kPropDevice:
            g_value_set_int(value, c.device);
            break;
        case kPropColorMode:
            g_value_set_enum(value, s.colorMode);
            break;
        case kPropX:
            g_value_set_int(value, c.x);
            break;
        case kPropY:
            g_value_set_int(value, c.y);
            break;
        case kPropWidth:
            g_value_set_int(value, c.width);
            break;
        case kPropHeight:
            g_value_set_int(value, c.height);
            break;
        case kPropSubSample:
            g_value_set_int(value, c.subSample);
            break;
        case kPropExposureUs:
            g_value_set_int(value, open ? s.session.ExposureUs() : c.exposureUs);
            break;
        case kPropExposureLines:
            g_value_set_int(value, open ? s.session.ExposureLines() : c.exposureLines);
            break;
        case kPropGlobalGain:
            g_value_set_int(value, open ? s.session.GlobalGain() : c.globalGain);
            break;
        case kPropAutoExposure:
            g_value_set_boolean(value, open ? s.session.AutoExposure() : c.autoExposure);
            break;
        case kPropTriggerMode:
            g_value_set_boolean(value, c.trigger);
            break;
        case kPropCamera:
            g_value_set_int(value, s.session.Handle());
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
            break;
    }
}

gboolean gst_tavlin_src_start(GstBaseSrc* base) {
    GstTavlinSrc* self = GST_TAVLIN_SRC(base);
    SrcState& s = self->state;
    std::unique_lock<std::mutex> guard(s.lock);
    if (const char* why = tavlin::gst::WhyNoFormat(s.colorMode);
        s.colorMode != tavlin::gst::kColorModeAuto && why != nullptr) {
        guard.unlock();
        GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, ("%s", why), (nullptr));
        return FALSE;
    }
    SessionError error;
    if (!s.session.Open(s.config, &error)) {
        guard.unlock();
        if (error.code == TAVLIN_ERR_DEVICE_BUSY) {
            GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("%s", error.message.c_str()),
                              ("no camera free at device index %d", s.config.device));
        } else {
            PostSettingFailure(self, error, true);
        }
        return FALSE;
    }
    TavlinExtFrameTiming timing{};
    s.periodNs = s.session.Timing(&timing) ? timing.framePeriodNs : 0;
    s.negotiatedMode = 0;
    s.lastSequence = 0;
    s.lastPts = GST_CLOCK_TIME_NONE;
    gst_video_info_init(&s.info);
    GST_INFO_OBJECT(self, "camera %d open, frame period %" G_GINT64_FORMAT " ns", s.config.device,
                    s.periodNs.load());
    return TRUE;
}

gboolean gst_tavlin_src_stop(GstBaseSrc* base) {
    SrcState& s = StateOf(base);
    std::lock_guard<std::mutex> guard(s.lock);
    s.session.Close();
    return TRUE;
}

GstCaps* gst_tavlin_src_get_caps(GstBaseSrc* base, GstCaps* filter) {
    SrcState& s = StateOf(base);
    GstCaps* caps = nullptr;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.session.IsOpen()) {
            tavlin::gst::StreamShape shape =
                tavlin::gst::ShapeOfWindow(s.config.width, s.config.height, s.config.subSample);
            shape.periodNs = s.config.trigger ? 0 : s.periodNs.load();
            const std::vector<int32_t> modes =
                s.colorMode != tavlin::gst::kColorModeAuto
                    ? std::vector<int32_t>{s.colorMode}
                    : tavlin::gst::OfferedColorModes(s.session.StoredColorMode());
            caps = tavlin::gst::CapsFor(shape, modes);
        }
    }
    if (caps == nullptr) caps = gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(base));
    if (filter != nullptr) {
        GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = both;
    }
    return caps;
}

gboolean gst_tavlin_src_negotiate(GstBaseSrc* base) {
    if (GST_BASE_SRC_CLASS(gst_tavlin_src_parent_class)->negotiate(base)) return TRUE;
    GstCaps* ours = gst_tavlin_src_get_caps(base, nullptr);
    GstCaps* theirs = gst_pad_peer_query_caps(GST_BASE_SRC_PAD(base), nullptr);
    gchar* ours_text = gst_caps_to_string(ours);
    gchar* theirs_text = gst_caps_to_string(theirs);
    GST_ELEMENT_ERROR(base, CORE, NEGOTIATION,
                      ("The camera cannot give a format downstream accepts"),
                      ("the camera gives %s; downstream accepts %s", ours_text, theirs_text));
    g_free(ours_text);
    g_free(theirs_text);
    gst_caps_unref(ours);
    gst_caps_unref(theirs);
    return FALSE;
}

gboolean gst_tavlin_src_set_caps(GstBaseSrc* base, GstCaps* caps) {
    GstTavlinSrc* self = GST_TAVLIN_SRC(base);
    SrcState& s = self->state;
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps)) return FALSE;
    const int32_t mode = tavlin::gst::ColorModeOfFormat(GST_VIDEO_INFO_FORMAT(&info));
    if (mode == 0) return FALSE;
    std::lock_guard<std::mutex> guard(s.lock);
    s.info = info;
    s.negotiatedMode = mode;
    GST_DEBUG_OBJECT(self, "negotiated %" GST_PTR_FORMAT, caps);
    return TRUE;
}

gboolean gst_tavlin_src_decide_allocation(GstBaseSrc* base, GstQuery* query) {
    GstCaps* caps = nullptr;
    gst_query_parse_allocation(query, &caps, nullptr);
    GstVideoInfo info;
    if (caps == nullptr || !gst_video_info_from_caps(&info, caps)) return FALSE;

    GstBufferPool* pool = nullptr;
    guint size = static_cast<guint>(GST_VIDEO_INFO_SIZE(&info));
    guint min = kMinPoolBuffers;
    guint max = 0;
    const bool update = gst_query_get_n_allocation_pools(query) > 0;
    if (update) {
        guint offered = 0;
        gst_query_parse_nth_allocation_pool(query, 0, &pool, &offered, &min, &max);
        size = std::max(size, offered);
        min = std::max(min, kMinPoolBuffers);
    }
    // A pool of our own unless downstream offers a video pool: its buffers go back to it only
    // when the last holder lets go, so a buffer downstream still holds is never written again.
    if (pool == nullptr || !GST_IS_VIDEO_BUFFER_POOL(pool)) {
        if (pool != nullptr) gst_object_unref(pool);
        pool = gst_video_buffer_pool_new();
    }
    GstStructure* config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, size, min, max);
    if (gst_query_find_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr))
        gst_buffer_pool_config_add_option(config, GST_BUFFER_POOL_OPTION_VIDEO_META);
    if (!gst_buffer_pool_set_config(pool, config)) {
        // A downstream pool may adjust the configuration; take it when it still fits a frame.
        config = gst_buffer_pool_get_config(pool);
        guint adjusted = 0;
        gst_buffer_pool_config_get_params(config, nullptr, &adjusted, nullptr, nullptr);
        if (adjusted < GST_VIDEO_INFO_SIZE(&info) || !gst_buffer_pool_set_config(pool, config)) {
            gst_object_unref(pool);
            GST_ELEMENT_ERROR(base, RESOURCE, SETTINGS, ("cannot configure a buffer pool"),
                              (nullptr));
            return FALSE;
        }
    }
    if (update) {
        gst_query_set_nth_allocation_pool(query, 0, pool, size, min, max);
    } else {
        gst_query_add_allocation_pool(query, pool, size, min, max);
    }
    gst_object_unref(pool);
    return GST_BASE_SRC_CLASS(gst_tavlin_src_parent_class)->decide_allocation(base, query);
}

gboolean gst_tavlin_src_query(GstBaseSrc* base, GstQuery* query) {
    if (GST_QUERY_TYPE(query) != GST_QUERY_LATENCY)
        return GST_BASE_SRC_CLASS(gst_tavlin_src_parent_class)->query(base, query);
    SrcState& s = StateOf(base);
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.session.IsOpen()) return FALSE;
    // A frame is whole one period after its exposure starts; a triggered camera may wait for
    // its pulse without limit.
    const GstClockTime min = static_cast<GstClockTime>(s.periodNs.load());
    const GstClockTime max = s.config.trigger ? GST_CLOCK_TIME_NONE : min;
    gst_query_set_latency(query, TRUE, min, max);
    GST_DEBUG_OBJECT(base, "latency min %" GST_TIME_FORMAT " max %" GST_TIME_FORMAT,
                     GST_TIME_ARGS(min), GST_TIME_ARGS(max));
    return TRUE;
}

gboolean gst_tavlin_src_unlock(GstBaseSrc* base) {
    StateOf(base).flushing = true;
    return TRUE;
}

gboolean gst_tavlin_src_unlock_stop(GstBaseSrc* base) {
    StateOf(base).flushing = false;
    return TRUE;
}

// The 64-bit mode leaves each pixel's fourth word unwritten; downstream reads it as alpha.
void MakeOpaque(uint8_t* data, const GstVideoInfo& info) {
    const int width = GST_VIDEO_INFO_WIDTH(&info);
    const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    for (int row = 0; row < GST_VIDEO_INFO_HEIGHT(&info); ++row) {
        uint8_t* line = data + size_t(row) * size_t(stride);
        for (int x = 0; x < width; ++x) {
            const uint16_t alpha = GUINT16_TO_LE(kOpaqueAlpha);
            std::memcpy(line + (size_t(x) * kWordsPerPixel64 + 3) * sizeof(uint16_t), &alpha,
                        sizeof(alpha));
        }
    }
}

GstFlowReturn StreamError(GstTavlinSrc* self, const SessionError& error) {
    GST_ELEMENT_ERROR(self, RESOURCE, READ, ("%s", error.message.c_str()),
                      ("SDK error %d", error.code));
    return GST_FLOW_ERROR;
}

// Frames the SDK passed over between two buffers leave a hole in the stream: a gap in time for a
// free-running camera, a lost part for a triggered one.
void AnnounceGap(GstTavlinSrc* self, uint64_t sequence, GstClockTime pts) {
    SrcState& s = self->state;
    if (s.lastSequence == 0 || sequence <= s.lastSequence + 1) return;
    const uint64_t missed = sequence - s.lastSequence - 1;
    GST_DEBUG_OBJECT(self,
                     "%" G_GUINT64_FORMAT " frames passed over before frame %" G_GUINT64_FORMAT,
                     missed, sequence);
    if (s.config.trigger) {
        GST_ELEMENT_WARNING(self, RESOURCE, READ,
                            ("%" G_GUINT64_FORMAT " triggered frames were passed over", missed),
                            ("before frame %" G_GUINT64_FORMAT ": downstream took longer than "
                             "the pulses came",
                             sequence));
        return;
    }
    const int64_t period = s.periodNs;
    if (!GST_CLOCK_TIME_IS_VALID(pts) || !GST_CLOCK_TIME_IS_VALID(s.lastPts) || period <= 0) return;
    const GstClockTime start = s.lastPts + GstClockTime(period);
    if (start >= pts) return;
    gst_pad_push_event(GST_BASE_SRC_PAD(self), gst_event_new_gap(start, pts - start));
}

GstFlowReturn gst_tavlin_src_fill(GstPushSrc* push, GstBuffer* buffer) {
    GstTavlinSrc* self = GST_TAVLIN_SRC(push);
    GstBaseSrc* base = GST_BASE_SRC(push);
    SrcState& s = self->state;
    // From the pool, after its last holder downstream let go of it.
    tavlin::gst::MarkReceived(buffer);
    {
        std::unique_lock<std::mutex> guard(s.lock);
        if (s.negotiatedMode == 0) return GST_FLOW_NOT_NEGOTIATED;
        if (!s.session.IsStreaming() || s.session.StreamingColorMode() != s.negotiatedMode) {
            SessionError error;
            if (!s.session.Start(s.negotiatedMode, &error)) {
                guard.unlock();
                return StreamError(self, error);
            }
            s.lastSequence = 0;
            s.lastPts = GST_CLOCK_TIME_NONE;
        }
    }
    TavlinExtFrameInfo frame{};
    GstClockTime pts = GST_CLOCK_TIME_NONE;
    for (;;) {
        if (s.flushing) return GST_FLOW_FLUSHING;
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) return GST_FLOW_ERROR;
        SessionError error;
        const CameraSession::Wait outcome = s.session.WaitFrame(
            s.lastSequence, kWaitSliceMs, map.data,
            static_cast<int32_t>(std::min<gsize>(map.size, G_MAXINT32)), &frame, &error);
        if (outcome == CameraSession::Wait::kFrame && s.negotiatedMode == 64) {
            MakeOpaque(map.data, s.info);
        }
        gst_buffer_unmap(buffer, &map);
        if (outcome == CameraSession::Wait::kTimedOut) continue;
        if (outcome != CameraSession::Wait::kFrame) return StreamError(self, error);
        if (frame.width != GST_VIDEO_INFO_WIDTH(&s.info) ||
            frame.height != GST_VIDEO_INFO_HEIGHT(&s.info)) {
            GST_ELEMENT_ERROR(self, STREAM, FORMAT,
                              ("the camera delivered a frame of another size"),
                              ("%dx%d, negotiated %dx%d", frame.width, frame.height,
                               GST_VIDEO_INFO_WIDTH(&s.info), GST_VIDEO_INFO_HEIGHT(&s.info)));
            return GST_FLOW_ERROR;
        }
        GstClock* clock = gst_element_get_clock(GST_ELEMENT(self));
        pts = tavlin::gst::RunningTimeOf(
            frame.timestampNs, clock, gst_element_get_base_time(GST_ELEMENT(self)), &s.clockCheck);
        if (clock != nullptr) gst_object_unref(clock);
        // A frame exposed before the pipeline started playing belongs to no running time.
        if (GST_CLOCK_TIME_IS_VALID(pts) || clock == nullptr || s.config.trigger) break;
        s.lastSequence = frame.sequence;
    }
    if (s.config.trigger && !GST_CLOCK_TIME_IS_VALID(pts)) pts = 0;
    AnnounceGap(self, frame.sequence, pts);

    if (gst_base_src_get_do_timestamp(base)) {
        GST_BUFFER_PTS(buffer) = pts;
        GST_BUFFER_DTS(buffer) = pts;
    } else {
        GST_BUFFER_PTS(buffer) = GST_CLOCK_TIME_NONE;
        GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    }
    GST_BUFFER_DURATION(buffer) =
        s.config.trigger || s.periodNs <= 0 ? GST_CLOCK_TIME_NONE : GstClockTime(s.periodNs.load());
    GST_BUFFER_OFFSET(buffer) = frame.sequence;
    GST_BUFFER_OFFSET_END(buffer) = frame.sequence + 1;
    gst_buffer_add_reference_timestamp_meta(buffer, reference_caps, GstClockTime(frame.timestampNs),
                                            GST_CLOCK_TIME_NONE);
    s.lastSequence = frame.sequence;
    s.lastPts = pts;
    tavlin::gst::MarkHandedOver(buffer);
    return GST_FLOW_OK;
}

void gst_tavlin_src_finalize(GObject* object) {
    GST_TAVLIN_SRC(object)->state.~SrcState();
    G_OBJECT_CLASS(gst_tavlin_src_parent_class)->finalize(object);
}

void InstallInt(GObjectClass* klass, guint id, const char* name, const char* nick,
                const char* blurb, int minimum, int maximum, int fallback, bool live) {
    const auto flags =
        static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                 (live ? GST_PARAM_MUTABLE_PLAYING : GST_PARAM_MUTABLE_READY));
    g_object_class_install_property(
        klass, id, g_param_spec_int(name, nick, blurb, minimum, maximum, fallback, flags));
}

void InstallBoolean(GObjectClass* klass, guint id, const char* name, const char* nick,
                    const char* blurb, bool live) {
    const auto flags =
        static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                 (live ? GST_PARAM_MUTABLE_PLAYING : GST_PARAM_MUTABLE_READY));
    g_object_class_install_property(klass, id,
                                    g_param_spec_boolean(name, nick, blurb, FALSE, flags));
}

}  // namespace

static void gst_tavlin_src_class_init(GstTavlinSrcClass* klass) {
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* base_class = GST_BASE_SRC_CLASS(klass);
    GstPushSrcClass* push_class = GST_PUSH_SRC_CLASS(klass);

    GST_DEBUG_CATEGORY_INIT(tavlin_src_debug, "tavlinsrc", 0, "Tavlin 410QZ-VKE camera source");
    reference_caps = gst_caps_new_empty_simple("timestamp/x-clock-monotonic");
    GST_MINI_OBJECT_FLAG_SET(reference_caps, GST_MINI_OBJECT_FLAG_MAY_BE_LEAKED);

    object_class->set_property = gst_tavlin_src_set_property;
    object_class->get_property = gst_tavlin_src_get_property;
    object_class->finalize = gst_tavlin_src_finalize;

    const int sensorWidth = TAVLIN_VCAM_SENSOR_WIDTH;
    const int sensorHeight = TAVLIN_VCAM_SENSOR_HEIGHT;
    InstallInt(object_class, kPropDevice, "device", "Device index",
               "Device index of the camera (0..31; see tavlin-ctl --list)", 0, kMaxDevice, 0,
               false);
    g_object_class_install_property(
        object_class, kPropColorMode,
        g_param_spec_enum("color-mode", "Colour mode",
                          "Pixel format the camera delivers; auto lets the caps choose",
                          GST_TYPE_TAVLIN_COLOR_MODE, tavlin::gst::kColorModeAuto,
                          static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                                   GST_PARAM_MUTABLE_READY)));
    InstallInt(object_class, kPropX, "x", "Window left",
               "Left edge of the capture window in sensor pixels", 0, sensorWidth - 1, 0, false);
    InstallInt(object_class, kPropY, "y", "Window top",
               "Top edge of the capture window in sensor pixels", 0, sensorHeight - 1, 0, false);
    InstallInt(object_class, kPropWidth, "width", "Window width",
               "Width of the capture window in sensor pixels, before sub-sampling", 1, sensorWidth,
               sensorWidth, false);
    InstallInt(object_class, kPropHeight, "height", "Window height",
               "Height of the capture window in sensor pixels, before sub-sampling", 1,
               sensorHeight, sensorHeight, false);
    InstallInt(object_class, kPropSubSample, "sub-sample", "Sub-sampling",
               "0 full size, 1 half, 2 quarter, 3 eighth in each direction", 0, kMaxSubSample, 0,
               false);
    InstallInt(object_class, kPropExposureUs, "exposure-us", "Exposure (µs)",
               "Exposure time in microseconds, converted to sensor lines at the clock and window "
               "(-1 leaves the camera's)",
               -1, G_MAXINT, -1, true);
    InstallInt(object_class, kPropExposureLines, "exposure-lines", "Exposure (lines)",
               "Exposure time in sensor lines (-1 leaves the camera's)", -1, kMaxExposureLines, -1,
               true);
    InstallInt(object_class, kPropGlobalGain, "global-gain", "Global gain",
               "Sensor global gain (-1 leaves the camera's)", -1, kMaxGain, -1, true);
    InstallBoolean(object_class, kPropAutoExposure, "auto-exposure", "Automatic exposure",
                   "Correct the exposure from the frames while streaming", true);
    InstallBoolean(object_class, kPropTriggerMode, "trigger-mode", "Trigger mode",
                   "One frame per pulse at the trigger input instead of free running (the "
                   "camera drops the first pulse's frame after a start)",
                   false);

    g_object_class_install_property(
        object_class, kPropCamera,
        g_param_spec_int("camera", "Camera handle",
                         "The SDK camera handle while the element is started (0 otherwise), for "
                         "the SDK's own calls such as its property dialogs or Tavlin_SaveImage",
                         0, G_MAXINT, 0,
                         static_cast<GParamFlags>(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));

    gst_element_class_set_static_metadata(
        element_class, "Tavlin 410QZ-VKE camera source", "Source/Video/Hardware",
        "Streams the processed frames of a Tavlin 410QZ-VKE USB camera, or of its virtual camera, "
        "with the capture time of each frame",
        "Tavlin SDK team");
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_type_mark_as_plugin_api(GST_TYPE_TAVLIN_COLOR_MODE, static_cast<GstPluginAPIFlags>(0));

    base_class->start = gst_tavlin_src_start;
    base_class->stop = gst_tavlin_src_stop;
    base_class->get_caps = gst_tavlin_src_get_caps;
    base_class->negotiate = gst_tavlin_src_negotiate;
    base_class->set_caps = gst_tavlin_src_set_caps;
    base_class->decide_allocation = gst_tavlin_src_decide_allocation;
    base_class->query = gst_tavlin_src_query;
    base_class->unlock = gst_tavlin_src_unlock;
    base_class->unlock_stop = gst_tavlin_src_unlock_stop;
    push_class->fill = gst_tavlin_src_fill;
}

static void gst_tavlin_src_init(GstTavlinSrc* self) {
    new (&self->state) SrcState();
    self->state.config.width = TAVLIN_VCAM_SENSOR_WIDTH;
    self->state.config.height = TAVLIN_VCAM_SENSOR_HEIGHT;
    GstBaseSrc* base = GST_BASE_SRC(self);
    gst_base_src_set_live(base, TRUE);
    gst_base_src_set_format(base, GST_FORMAT_TIME);
    gst_base_src_set_do_timestamp(base, TRUE);
}
