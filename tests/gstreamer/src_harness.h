// A tavlinsrc in GStreamer's check harness, on a virtual camera reached over the transport under
// test, with the element's bus kept for its errors and warnings.
#pragma once

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "integration/sdk_fixture.h"
#include "tavlin/tavlin_ext.h"
#include "thread_handoff.h"

namespace tavlin::test {

inline constexpr int32_t kSrcDevice = 0;
inline constexpr GstClockTime kMessageWait = 10 * GST_SECOND;

// The harness's own sink pad takes anything; tests narrow it with gst_harness_set_sink_caps.
inline GstStaticPadTemplate gAnySink =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

class SrcHarnessTest : public TransportTest {
  protected:
    SrcHarnessTest() { openCamera_ = false; }

    void SetUp() override {
        TransportTest::SetUp();
        if (HasFatalFailure()) return;
        TavlinVcam_SetScene(kSrcDevice, TAVLIN_VCAM_SCENE_CHART);
        bus_ = gst_bus_new();
    }

    void TearDown() override {
        Destroy();
        if (bus_ != nullptr) gst_object_unref(bus_);
        TransportTest::TearDown();
    }

    // A new harness around a tavlinsrc with properties given as name=value pairs.
    void Make(const std::vector<std::pair<std::string, std::string>>& properties = {}) {
        Destroy();
        h_ = gst_harness_new_full(gst_element_factory_make("tavlinsrc", nullptr), nullptr, nullptr,
                                  &gAnySink, "src");
        ASSERT_NE(h_, nullptr);
        for (const auto& [name, value] : properties) {
            gst_util_set_object_arg(G_OBJECT(h_->element), name.c_str(), value.c_str());
        }
        gst_element_set_bus(h_->element, bus_);
        gst_harness_use_systemclock(h_);
    }

    GstStateChangeReturn SetState(GstState state) {
        return gst_element_set_state(h_->element, state);
    }

    // Makes and plays the element; fails the test when it does not start.
    void Play(const std::vector<std::pair<std::string, std::string>>& properties = {}) {
        Make(properties);
        if (HasFatalFailure()) return;
        ASSERT_NE(SetState(GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE) << BusText();
    }

    void Destroy() {
        if (h_ == nullptr) return;
        gst_element_set_state(h_->element, GST_STATE_NULL);
        gst_harness_teardown(h_);
        h_ = nullptr;
        gst_bus_set_flushing(bus_, TRUE);
        gst_bus_set_flushing(bus_, FALSE);
    }

    GstBuffer* Pull() {
        GstBuffer* buffer = gst_harness_pull(h_);
        EXPECT_NE(buffer, nullptr) << "no buffer; " << BusText();
        gst::MarkReceived(buffer);
        return buffer;
    }

    // Gives a pulled buffer back (to the element's pool, once nobody else holds it).
    static void Release(GstBuffer* buffer) {
        if (buffer == nullptr) return;
        gst::MarkHandedOver(buffer);
        gst_buffer_unref(buffer);
    }

    int32_t Camera() {
        gint handle = 0;
        g_object_get(h_->element, "camera", &handle, nullptr);
        return handle;
    }

    GstCaps* Caps() { return gst_pad_get_current_caps(h_->sinkpad); }

    TavlinExtFrameTiming Timing() {
        TavlinExtFrameTiming timing{};
        timing.size = sizeof(timing);
        EXPECT_EQ(TavlinExt_GetFrameTiming(Camera(), &timing), 1);
        return timing;
    }

    // The text of the next error or warning on the element's bus; empty after the wait.
    std::string NextMessage(GstMessageType type, GstClockTime wait = kMessageWait) {
        GstMessage* message = gst_bus_timed_pop_filtered(bus_, wait, type);
        if (message == nullptr) return {};
        GError* error = nullptr;
        gchar* debug = nullptr;
        if (type == GST_MESSAGE_ERROR) {
            gst_message_parse_error(message, &error, &debug);
        } else {
            gst_message_parse_warning(message, &error, &debug);
        }
        std::string text = error != nullptr ? error->message : "";
        if (debug != nullptr) text += std::string(" | ") + debug;
        if (error != nullptr) g_error_free(error);
        g_free(debug);
        gst_message_unref(message);
        return text;
    }

    // Everything waiting on the bus, for failure output.
    std::string BusText() {
        std::string text;
        while (GstMessage* message = gst_bus_pop(bus_)) {
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR ||
                GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING) {
                GError* error = nullptr;
                gst_message_parse_error(message, &error, nullptr);
                if (error != nullptr) {
                    text += std::string(error->message) + "; ";
                    g_error_free(error);
                }
            }
            gst_message_unref(message);
        }
        return text;
    }

    // True once an event of the type reached the harness's sink, within about ten seconds.
    bool ReceivesEvent(GstEventType type) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            while (GstEvent* event = gst_harness_try_pull_event(h_)) {
                const bool found = GST_EVENT_TYPE(event) == type;
                gst_event_unref(event);
                if (found) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // The first pulse after a trigger-mode start: the camera accepts pulses once the element
    // has put it into trigger mode, and drops this one's frame.
    bool GiveFirstPulse() {
        for (int i = 0; i < 500; ++i) {
            if (TavlinVcam_Trigger(kSrcDevice, 1) == 1) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    GstHarness* h_ = nullptr;
    GstBus* bus_ = nullptr;
};

}  // namespace tavlin::test
