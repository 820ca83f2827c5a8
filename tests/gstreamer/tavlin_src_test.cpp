// tavlinsrc streaming from a virtual camera: caps, pixels, time stamps, latency, buffer
// ownership, live settings, trigger mode, unplugging and restarts.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gstreamer/src_harness.h"
#include "src_format.h"
#include "support/process_resources.h"

namespace tavlin::test {
namespace {

using Props = std::vector<std::pair<std::string, std::string>>;

std::vector<uint8_t> Bytes(GstBuffer* buffer) {
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return {};
    std::vector<uint8_t> bytes(map.data, map.data + map.size);
    gst_buffer_unmap(buffer, &map);
    return bytes;
}

GstVideoInfo InfoOf(GstCaps* caps) {
    GstVideoInfo info;
    gst_video_info_init(&info);
    EXPECT_TRUE(gst_video_info_from_caps(&info, caps));
    return info;
}

// The capture time a buffer carries in its reference timestamp meta, -1 without one.
int64_t CaptureTime(GstBuffer* buffer) {
    GstCaps* reference = gst_caps_new_empty_simple("timestamp/x-clock-monotonic");
    GstReferenceTimestampMeta* meta = gst_buffer_get_reference_timestamp_meta(buffer, reference);
    gst_caps_unref(reference);
    return meta != nullptr ? int64_t(meta->timestamp) : -1;
}

class TavlinSrc : public SrcHarnessTest {};
TAVLIN_INSTANTIATE_TRANSPORTS(TavlinSrc);

struct ModeCase {
    const char* property;
    const char* format;
};

TEST_P(TavlinSrc, CapsFollowEachColourMode) {
    const ModeCase cases[] = {{"gray8", "GRAY8"},
                              {"gray16", "GRAY16_LE"},
                              {"bgr", "BGR"},
                              {"bgrx", "BGRx"},
                              {"bgra64", "BGRA64_LE"}};
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.property);
        Play({{"color-mode", c.property}, {"sub-sample", "2"}});
        if (HasFatalFailure()) return;
        GstBuffer* buffer = Pull();
        ASSERT_NE(buffer, nullptr);
        GstCaps* caps = Caps();
        const GstVideoInfo info = InfoOf(caps);
        EXPECT_STREQ(gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info)), c.format);
        EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), 320);
        EXPECT_EQ(GST_VIDEO_INFO_HEIGHT(&info), 256);
        const gst::Fraction rate = gst::RateOfPeriod(Timing().framePeriodNs);
        EXPECT_GT(rate.numerator, 0);
        EXPECT_EQ(GST_VIDEO_INFO_FPS_N(&info), rate.numerator);
        EXPECT_EQ(GST_VIDEO_INFO_FPS_D(&info), rate.denominator);
        EXPECT_EQ(gst_buffer_get_size(buffer), GST_VIDEO_INFO_SIZE(&info));
        if (std::strcmp(c.format, "BGRA64_LE") == 0) {
            // Downstream reads the fourth word as alpha: it must say opaque.
            const std::vector<uint8_t> bytes = Bytes(buffer);
            size_t transparent = 0;
            for (size_t i = 6; i + 1 < bytes.size(); i += 8) {
                transparent += bytes[i] != 0xFF || bytes[i + 1] != 0xFF;
            }
            EXPECT_EQ(transparent, 0u);
        }
        gst_caps_unref(caps);
        Release(buffer);
        Destroy();
    }
}

TEST_P(TavlinSrc, FortyEightBitModeIsRefusedWithAReason) {
    Make({{"color-mode", "bgr48"}});
    EXPECT_EQ(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    const std::string error = NextMessage(GST_MESSAGE_ERROR);
    EXPECT_NE(error.find("48"), std::string::npos) << error;
    EXPECT_NE(error.find("bgra64"), std::string::npos) << error;
}

TEST_P(TavlinSrc, AutomaticModeTakesTheFormatDownstreamAsksFor) {
    Make({{"sub-sample", "3"}});
    gst_harness_set_sink_caps_str(h_, "video/x-raw,format=GRAY16_LE");
    ASSERT_NE(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstBuffer* buffer = Pull();
    ASSERT_NE(buffer, nullptr);
    GstCaps* caps = Caps();
    const GstVideoInfo info = InfoOf(caps);
    EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&info), GST_VIDEO_FORMAT_GRAY16_LE);
    EXPECT_EQ(Tavlin_GetColorMode(Camera()), 10);  // 16-bit gray as the SDK reports it
    gst_caps_unref(caps);
    Release(buffer);
}

TEST_P(TavlinSrc, CapsTheCameraCannotGiveFailNegotiationWithBothSides) {
    Make({{"sub-sample", "3"}});
    gst_harness_set_sink_caps_str(h_, "video/x-raw,format=I420");
    SetState(GST_STATE_PLAYING);
    const std::string error = NextMessage(GST_MESSAGE_ERROR);
    EXPECT_NE(error.find("cannot give a format downstream accepts"), std::string::npos) << error;
    EXPECT_NE(error.find("I420"), std::string::npos) << error;
    EXPECT_TRUE(ReceivesEvent(GST_EVENT_EOS));
}

// In trigger mode no frame comes without a pulse, so the SDK's current image is the frame the
// buffer carries.
TEST_P(TavlinSrc, BuffersHoldTheSdkImageOfTheSameFrame) {
    for (const char* mode : {"gray8", "gray16", "bgr", "bgrx"}) {
        SCOPED_TRACE(mode);
        Play({{"color-mode", mode}, {"trigger-mode", "true"}, {"sub-sample", "1"}});
        if (HasFatalFailure()) return;
        ASSERT_TRUE(GiveFirstPulse());
        ASSERT_EQ(TavlinVcam_Trigger(kSrcDevice, 1), 1);
        GstBuffer* buffer = Pull();
        ASSERT_NE(buffer, nullptr);
        const std::vector<uint8_t> streamed = Bytes(buffer);
        std::vector<uint8_t> image(streamed.size());
        ASSERT_EQ(Tavlin_GetImage(Camera(), image.data(), int32_t(image.size()), 1), 1);
        EXPECT_TRUE(streamed == image);

        TavlinExtFrameStats stats{};
        stats.size = sizeof(stats);
        ASSERT_EQ(TavlinExt_GetFrameStats(Camera(), &stats), 1);
        EXPECT_EQ(GST_BUFFER_OFFSET(buffer), stats.sequence);
        EXPECT_EQ(GST_BUFFER_OFFSET_END(buffer), stats.sequence + 1);
        EXPECT_EQ(CaptureTime(buffer), stats.timestampNs);
        Release(buffer);
        Destroy();
    }
}

TEST_P(TavlinSrc, TimeStampsComeFromCaptureTimesInOrder) {
    Play({{"sub-sample", "2"}});
    if (HasFatalFailure()) return;
    const GstClockTime base = gst_element_get_base_time(h_->element);
    const GstClockTime period = GstClockTime(Timing().framePeriodNs);
    GstClockTime lastPts = GST_CLOCK_TIME_NONE;
    guint64 lastOffset = 0;
    for (int i = 0; i < 20; ++i) {
        GstBuffer* buffer = Pull();
        ASSERT_NE(buffer, nullptr);
        const int64_t captured = CaptureTime(buffer);
        ASSERT_GT(captured, 0);
        // The pipeline's system clock reads CLOCK_MONOTONIC, as the capture times do.
        EXPECT_EQ(GST_BUFFER_PTS(buffer), GstClockTime(captured) - base);
        EXPECT_EQ(GST_BUFFER_DTS(buffer), GST_BUFFER_PTS(buffer));
        EXPECT_EQ(GST_BUFFER_DURATION(buffer), period);
        if (GST_CLOCK_TIME_IS_VALID(lastPts)) {
            EXPECT_GT(GST_BUFFER_PTS(buffer), lastPts);
            EXPECT_GT(GST_BUFFER_OFFSET(buffer), lastOffset);
        }
        lastPts = GST_BUFFER_PTS(buffer);
        lastOffset = GST_BUFFER_OFFSET(buffer);
        Release(buffer);
    }
}

namespace {

// Holds the streaming thread once, long enough for the camera to deliver several frames.
GstPadProbeReturn StallOnce(GstPad*, GstPadProbeInfo*, gpointer data) {
    auto* stalled = static_cast<int*>(data);
    if (++*stalled == 3) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return GST_PAD_PROBE_OK;
}

}  // namespace

TEST_P(TavlinSrc, FramesPassedOverBecomeAGapEvent) {
    TavlinVcam_SetPacing(kSrcDevice, TAVLIN_VCAM_PACING_REAL_TIME);
    Make({{"sub-sample", "3"}, {"exposure-lines", "100"}});
    int stalled = 0;
    GstPad* pad = gst_element_get_static_pad(h_->element, "src");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, StallOnce, &stalled, nullptr);
    gst_object_unref(pad);
    ASSERT_NE(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    const GstClockTime period = GstClockTime(Timing().framePeriodNs);
    ASSERT_GT(period, 0u);
    ASSERT_LT(period, 20 * GST_MSECOND);  // several frames pass during the stall

    std::vector<GstBuffer*> buffers;
    for (int i = 0; i < 5; ++i) buffers.push_back(Pull());
    GstBuffer* before = nullptr;
    GstBuffer* after = nullptr;
    for (size_t i = 1; i < buffers.size(); ++i) {
        if (buffers[i] && buffers[i - 1] &&
            GST_BUFFER_OFFSET(buffers[i]) > GST_BUFFER_OFFSET(buffers[i - 1]) + 1 &&
            GST_BUFFER_PTS(buffers[i]) > GST_BUFFER_PTS(buffers[i - 1]) + period) {
            before = buffers[i - 1];
            after = buffers[i];
        }
    }
    ASSERT_NE(after, nullptr) << "no frames were passed over";
    bool found = false;
    while (GstEvent* event = gst_harness_try_pull_event(h_)) {
        if (GST_EVENT_TYPE(event) == GST_EVENT_GAP) {
            GstClockTime start = 0;
            GstClockTime duration = 0;
            gst_event_parse_gap(event, &start, &duration);
            if (start == GST_BUFFER_PTS(before) + period) {
                found = true;
                EXPECT_EQ(start + duration, GST_BUFFER_PTS(after));
            }
        }
        gst_event_unref(event);
    }
    EXPECT_TRUE(found);
    for (GstBuffer* buffer : buffers) {
        Release(buffer);
    }
}

TEST_P(TavlinSrc, LatencyIsOneFramePeriodAndUnboundedWhenTriggered) {
    for (const char* trigger : {"false", "true"}) {
        SCOPED_TRACE(trigger);
        Play({{"trigger-mode", trigger}, {"sub-sample", "1"}});
        if (HasFatalFailure()) return;
        GstQuery* query = gst_query_new_latency();
        ASSERT_TRUE(gst_element_query(h_->element, query));
        gboolean live = FALSE;
        GstClockTime min = 0;
        GstClockTime max = 0;
        gst_query_parse_latency(query, &live, &min, &max);
        gst_query_unref(query);
        EXPECT_TRUE(live);
        EXPECT_EQ(min, GstClockTime(Timing().framePeriodNs));
        EXPECT_GT(min, 0u);
        if (std::strcmp(trigger, "true") == 0) {
            EXPECT_EQ(max, GST_CLOCK_TIME_NONE);
        } else {
            EXPECT_EQ(max, min);
        }
        Destroy();
    }
}

TEST_P(TavlinSrc, BufferHeldDownstreamIsNeverWrittenAgain) {
    Play({{"sub-sample", "2"}});
    if (HasFatalFailure()) return;
    GstBuffer* held = Pull();
    ASSERT_NE(held, nullptr);
    const std::vector<uint8_t> original = Bytes(held);
    GstMapInfo heldMap;
    ASSERT_TRUE(gst_buffer_map(held, &heldMap, GST_MAP_READ));
    const uint8_t* heldData = heldMap.data;
    gst_buffer_unmap(held, &heldMap);
    std::vector<uint8_t> last;
    for (int i = 0; i < 20; ++i) {
        GstBuffer* buffer = Pull();
        ASSERT_NE(buffer, nullptr);
        GstMapInfo map;
        ASSERT_TRUE(gst_buffer_map(buffer, &map, GST_MAP_READ));
        EXPECT_NE(map.data, heldData);
        last.assign(map.data, map.data + map.size);
        gst_buffer_unmap(buffer, &map);
        Release(buffer);  // back to the pool, to be filled again
    }
    EXPECT_TRUE(last != original) << "the chart's marker should have moved";
    EXPECT_TRUE(Bytes(held) == original);
    Release(held);
}

TEST_P(TavlinSrc, ExposureAndGainChangeWhilePlaying) {
    Play({{"sub-sample", "3"}, {"exposure-lines", "300"}, {"global-gain", "10"}});
    if (HasFatalFailure()) return;
    Release(Pull());
    gint value = 0;
    g_object_get(h_->element, "exposure-lines", &value, nullptr);
    EXPECT_EQ(value, 300);

    g_object_set(h_->element, "exposure-lines", 500, "global-gain", 20, nullptr);
    int32_t ok = 0;
    EXPECT_EQ(Tavlin_GetExposureTime(Camera(), &ok), 500);
    EXPECT_EQ(Tavlin_GetGlobalGain(Camera(), &ok), 20);
    g_object_get(h_->element, "global-gain", &value, nullptr);
    EXPECT_EQ(value, 20);
    g_object_get(h_->element, "exposure-us", &value, nullptr);
    EXPECT_EQ(value, Tavlin_GetRealExposureTime(Camera(), &ok));

    g_object_set(h_->element, "auto-exposure", TRUE, nullptr);
    EXPECT_EQ(Tavlin_GetAutoIris(Camera(), &ok), 1);
    g_object_set(h_->element, "auto-exposure", FALSE, nullptr);

    // Refused values keep the old one and say why; the stream goes on.
    g_object_set(h_->element, "exposure-us", G_MAXINT, nullptr);
    const std::string warning = NextMessage(GST_MESSAGE_WARNING);
    EXPECT_NE(warning.find("exposure-us"), std::string::npos) << warning;
    EXPECT_NE(warning.find("invalid argument"), std::string::npos) << warning;
    EXPECT_EQ(Tavlin_GetExposureTime(Camera(), &ok), 500);

    // An exposure longer than the frame stretches it: new frame rate, latency and durations.
    const int64_t shortPeriod = Timing().framePeriodNs;
    g_object_set(h_->element, "exposure-lines", 4000, nullptr);
    const int64_t longPeriod = Timing().framePeriodNs;
    EXPECT_GT(longPeriod, shortPeriod);
    GstBuffer* stretched = nullptr;
    for (int i = 0; i < 100 && stretched == nullptr; ++i) {
        GstBuffer* buffer = Pull();
        ASSERT_NE(buffer, nullptr);
        if (GST_BUFFER_DURATION(buffer) == GstClockTime(longPeriod)) {
            stretched = buffer;
        } else {
            Release(buffer);
        }
    }
    ASSERT_NE(stretched, nullptr);
    Release(stretched);
    // A buffer filled while the change was made may still go out under the old caps; the new
    // caps come before the buffer after it.
    Release(Pull());
    GstCaps* caps = Caps();
    const GstVideoInfo info = InfoOf(caps);
    gst_caps_unref(caps);
    const gst::Fraction rate = gst::RateOfPeriod(longPeriod);
    EXPECT_EQ(GST_VIDEO_INFO_FPS_N(&info), rate.numerator);
    EXPECT_EQ(GST_VIDEO_INFO_FPS_D(&info), rate.denominator);
    GstQuery* query = gst_query_new_latency();
    ASSERT_TRUE(gst_element_query(h_->element, query));
    GstClockTime min = 0;
    gst_query_parse_latency(query, nullptr, &min, nullptr);
    gst_query_unref(query);
    EXPECT_EQ(min, GstClockTime(longPeriod));

    g_object_set(h_->element, "color-mode", 8, "width", 64, nullptr);
    EXPECT_NE(NextMessage(GST_MESSAGE_WARNING).find("NULL or READY"), std::string::npos);
    gint mode = 0;
    g_object_get(h_->element, "color-mode", &mode, "width", &value, nullptr);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(value, 1280);
    for (int i = 0; i < 3; ++i) Release(Pull());
}

TEST_P(TavlinSrc, SettingsTheCameraRefusesStopTheStartWithTheReason) {
    Make({{"x", "1200"}, {"width", "200"}});
    EXPECT_EQ(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    const std::string error = NextMessage(GST_MESSAGE_ERROR);
    EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
    Destroy();
    Make({{"exposure-us", "2000000000"}});
    EXPECT_EQ(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    EXPECT_NE(NextMessage(GST_MESSAGE_ERROR).find("invalid argument"), std::string::npos);
}

TEST_P(TavlinSrc, TriggerModeGivesOneBufferPerPulse) {
    Play({{"trigger-mode", "true"}, {"sub-sample", "2"}});
    if (HasFatalFailure()) return;
    ASSERT_TRUE(GiveFirstPulse());
    // One pulse at a time: the camera keeps only its newest image, so pulses that come faster
    // than the streaming thread takes them are reported as passed over, not queued.
    guint64 lastOffset = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(TavlinVcam_Trigger(kSrcDevice, 1), 1);
        GstBuffer* buffer = Pull();
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(GST_BUFFER_DURATION(buffer), GST_CLOCK_TIME_NONE);
        EXPECT_EQ(GST_BUFFER_OFFSET(buffer),
                  lastOffset == 0 ? GST_BUFFER_OFFSET(buffer) : lastOffset + 1);
        lastOffset = GST_BUFFER_OFFSET(buffer);
        Release(buffer);
    }
    GstCaps* caps = Caps();
    const GstVideoInfo info = InfoOf(caps);
    EXPECT_EQ(GST_VIDEO_INFO_FPS_N(&info), 0);
    gst_caps_unref(caps);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(gst_harness_try_pull(h_), nullptr);
}

namespace {

// Holds the streaming thread on its first buffer until the test lets it go.
struct FirstBufferGate {
    std::mutex lock;
    std::condition_variable changed;
    bool holding = false;
    bool released = false;
    int buffers = 0;

    void Open() {
        {
            std::lock_guard guard(lock);
            released = true;
        }
        changed.notify_all();
    }
};

GstPadProbeReturn HoldFirst(GstPad*, GstPadProbeInfo*, gpointer data) {
    auto* gate = static_cast<FirstBufferGate*>(data);
    std::unique_lock lock(gate->lock);
    if (++gate->buffers != 1) return GST_PAD_PROBE_OK;
    gate->holding = true;
    gate->changed.notify_all();
    gate->changed.wait(lock, [&] { return gate->released; });
    return GST_PAD_PROBE_OK;
}

}  // namespace

TEST_P(TavlinSrc, TriggeredFramesPassedOverAreReported) {
    Make({{"trigger-mode", "true"}, {"sub-sample", "3"}});
    FirstBufferGate gate;
    // However the test ends, the streaming thread is let go and the element torn down while
    // the gate still exists.
    const std::unique_ptr<FirstBufferGate, std::function<void(FirstBufferGate*)>> teardown(
        &gate, [this](FirstBufferGate* g) {
            g->Open();
            Destroy();
        });
    GstPad* pad = gst_element_get_static_pad(h_->element, "src");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, HoldFirst, &gate, nullptr);
    gst_object_unref(pad);
    ASSERT_NE(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    ASSERT_TRUE(GiveFirstPulse());
    ASSERT_EQ(TavlinVcam_Trigger(kSrcDevice, 1), 1);
    {
        std::unique_lock lock(gate.lock);
        ASSERT_TRUE(
            gate.changed.wait_for(lock, std::chrono::seconds(20), [&] { return gate.holding; }));
    }
    // Three more frames reach the camera's image while the streaming thread is held.
    const int32_t camera = Camera();
    TavlinExtFrameStats stats{};
    stats.size = sizeof(stats);
    ASSERT_EQ(TavlinExt_GetFrameStats(camera, &stats), 1);
    const uint64_t heldProcessed = stats.processed;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(TavlinVcam_Trigger(kSrcDevice, 1), 1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (TavlinExt_GetFrameStats(camera, &stats) == 1 &&
               stats.processed < heldProcessed + uint64_t(i) + 1 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_EQ(stats.processed, heldProcessed + uint64_t(i) + 1);
    }
    gate.Open();
    GstBuffer* first = Pull();
    GstBuffer* newest = Pull();
    ASSERT_TRUE(first != nullptr && newest != nullptr);
    EXPECT_EQ(GST_BUFFER_OFFSET(newest), GST_BUFFER_OFFSET(first) + 3);
    const std::string warning = NextMessage(GST_MESSAGE_WARNING);
    EXPECT_NE(warning.find("2 triggered frames were passed over"), std::string::npos) << warning;
    Release(first);
    Release(newest);
}

TEST_P(TavlinSrc, UnplugEndsTheStreamAndTheElementStartsAgain) {
    Play({{"sub-sample", "2"}});
    if (HasFatalFailure()) return;
    Release(Pull());
    UnplugCamera(kSrcDevice);
    const std::string error = NextMessage(GST_MESSAGE_ERROR);
    EXPECT_NE(error.find("stream stopped"), std::string::npos) << error;
    EXPECT_TRUE(ReceivesEvent(GST_EVENT_EOS));

    ASSERT_EQ(SetState(GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
    PlugCamera(kSrcDevice);
    ASSERT_NE(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE) << BusText();
    GstBuffer* buffer = Pull();
    ASSERT_NE(buffer, nullptr);
    Release(buffer);
}

TEST_P(TavlinSrc, UnplugWhilePausedFailsWhenPlayed) {
    Make({{"sub-sample", "2"}});
    ASSERT_EQ(SetState(GST_STATE_PAUSED), GST_STATE_CHANGE_NO_PREROLL);
    UnplugCamera(kSrcDevice);
    SetState(GST_STATE_PLAYING);
    EXPECT_FALSE(NextMessage(GST_MESSAGE_ERROR).empty());
    EXPECT_TRUE(ReceivesEvent(GST_EVENT_EOS));
}

TEST_P(TavlinSrc, DeviceIndexWithoutACameraFailsToStart) {
    Make({{"device", "5"}});
    EXPECT_EQ(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    const std::string error = NextMessage(GST_MESSAGE_ERROR);
    EXPECT_NE(error.find("camera 5"), std::string::npos) << error;
    Destroy();
    UnplugCamera(kSrcDevice);
    Make({{"device", "0"}});
    EXPECT_EQ(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    EXPECT_NE(NextMessage(GST_MESSAGE_ERROR).find("camera 0"), std::string::npos);
}

// The device provider describes the camera as the transport reaches it, and its element streams.
TEST_P(TavlinSrc, DeviceProviderDescribesTheCameraOnItsTransport) {
    GstDeviceProvider* provider = gst_device_provider_factory_get_by_name("tavlindeviceprovider");
    ASSERT_NE(provider, nullptr);
    GList* devices = gst_device_provider_get_devices(provider);
    ASSERT_EQ(g_list_length(devices), 1u);
    GstDevice* device = GST_DEVICE(devices->data);
    GstStructure* props = gst_device_get_properties(device);
    const std::string reach = gst_structure_get_string(props, "device.reach");
    if (Reach() == Transport::kUsb) {
        EXPECT_EQ(reach, "usb");
        const gchar* node = gst_structure_get_string(props, "device.path");
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(std::string(node).rfind("/dev/bus/usb/", 0), 0u) << node;
        EXPECT_STREQ(gst_structure_get_string(props, "device.usb-id"), "fff0:0410");
    } else {
        EXPECT_EQ(reach, "in-process");
    }
    gst_structure_free(props);

    Destroy();
    h_ = gst_harness_new_full(gst_device_create_element(device, nullptr), nullptr, nullptr,
                              &gAnySink, "src");
    gst_element_set_bus(h_->element, bus_);
    gst_harness_use_systemclock(h_);
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(provider);
    gst_util_set_object_arg(G_OBJECT(h_->element), "sub-sample", "3");
    ASSERT_NE(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE) << BusText();
    Release(Pull());
}

// What each open descriptor refers to, for a failure message.
std::string DescriptorTargets() {
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        text += entry.path().filename().string() + "->" + (error ? "?" : target.string()) + " ";
    }
    return text;
}

// NULL <-> PLAYING cycles leave no thread, descriptor or camera handle behind.
// TAVLIN_GST_CYCLES sets the count (100 by default).
TEST_P(TavlinSrc, StartStopCyclesLeakNothing) {
    const char* configured = std::getenv("TAVLIN_GST_CYCLES");
    const int cycles = configured != nullptr ? std::atoi(configured) : 100;
    Make({{"sub-sample", "3"}});
    auto cycle = [&] {
        ASSERT_NE(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE) << BusText();
        GstBuffer* buffer = Pull();
        ASSERT_NE(buffer, nullptr);
        Release(buffer);
        ASSERT_EQ(SetState(GST_STATE_NULL), GST_STATE_CHANGE_SUCCESS);
        // Buffers the harness queued meanwhile hold the stopped element's pool (and its poll
        // sockets); each round must start from its own stream.
        while (GstBuffer* queued = gst_harness_try_pull(h_)) Release(queued);
    };
    cycle();  // GStreamer's own threads and caches exist from here on
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Settle(Reach()));
    const int threads = ThreadCount();
    const int descriptors = OpenDescriptors();
    for (int i = 0; i < cycles; ++i) {
        cycle();
        if (HasFatalFailure()) return;
    }
    ASSERT_TRUE(Settle(Reach()));
    // Threads and sockets of the last release end a moment after it returns.
    EXPECT_EQ(SettledThreadCount(threads), threads);
    EXPECT_EQ(SettledDescriptors(descriptors), descriptors) << DescriptorTargets();
    TavlinVcamCounters counters{};
    ASSERT_EQ(TavlinVcam_GetCounters(kSrcDevice, &counters), 1);
    EXPECT_EQ(counters.handlesOpen, 0u);
}

}  // namespace
}  // namespace tavlin::test
