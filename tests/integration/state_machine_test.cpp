// Every export in every acquisition mode: the result and the recorded codes the mode calls for,
// the mode the camera is in afterwards (and that it still works in it), and output memory
// written only within the sizes given.
#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <thread>

#include "api/sdk_chain.h"
#include "camera/ctavlin.h"
#include "integration/bad_arguments_fixture.h"
#include "integration/export_probes.h"
#include "tavlin/tavlin_ext.h"

namespace tavlin::test {
namespace {

using Codes = std::vector<int32_t>;

enum class Mode { Idle, Preview, Callback, Capture, Trigger, Recording };
constexpr Mode kModes[] = {Mode::Idle,    Mode::Preview, Mode::Callback,
                           Mode::Capture, Mode::Trigger, Mode::Recording};

const char* Name(Mode m) {
    switch (m) {
        case Mode::Idle:
            return "idle";
        case Mode::Preview:
            return "preview";
        case Mode::Callback:
            return "callback preview";
        case Mode::Capture:
            return "capture";
        case Mode::Trigger:
            return "trigger";
        case Mode::Recording:
            return "recording";
    }
    return "?";
}

struct Outcome {
    std::optional<int32_t> result;  // nullopt: any
    Codes recorded;                 // newest first
    Mode after;
};

bool Streaming(Mode m) {
    return m == Mode::Preview || m == Mode::Callback || m == Mode::Recording;
}

class StateMachineTest : public OwnDeviceTest {
  protected:
    static constexpr int32_t kFrameBytes = 160 * 128 * 3;

    void SetUp() override {
        OwnDeviceTest::SetUp();
        ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
        ClearErrors();
    }

    std::string Path(const char* name) const { return (home_ / name).string(); }

    void Enter(Mode m) {
        switch (m) {
            case Mode::Idle:
                ASSERT_EQ(Tavlin_SnapShot(camera_, nullptr, 0, 0), 1);  // an image to save
                break;
            case Mode::Preview:
                ASSERT_EQ(Tavlin_Preview(camera_), 1);
                break;
            case Mode::Callback:
                ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, frame_.data(), kFrameBytes, 1),
                          1);
                break;
            case Mode::Capture:
                ASSERT_EQ(Tavlin_Capture(camera_), 1);
                ASSERT_EQ(Tavlin_SnapShot(camera_, nullptr, 0, 0), 1);
                break;
            case Mode::Trigger:
                ASSERT_EQ(Tavlin_Trigger(camera_, frames_, frame_.data(), kFrameBytes, 1), 1);
                ASSERT_TRUE(TriggeredFrame());
                break;
            case Mode::Recording:
                ASSERT_EQ(Tavlin_Record(camera_, Path("mode.avi").c_str(), 600000, 0), 1);
                break;
        }
        if (Streaming(m)) {
            ASSERT_TRUE(FramesFlow());
        }
        ClearErrors();
        DrainFrames();
    }

    int32_t InternalMode() {
        const auto camera = api::CSdkChain::Instance().LookUp(camera_);
        return camera ? camera->AcquisitionMode() : -1;
    }

    // The camera keeps producing frames for the application.
    // The camera delivers frames and the SDK has processed one of them (an image to save).
    bool FramesFlow() {
        TavlinVcamCounters before{}, now{};
        TavlinVcam_GetCounters(kDevice, &before);
        for (int i = 0; i < 2500; ++i) {
            TavlinVcam_GetCounters(kDevice, &now);
            TavlinExtFrameStats stats{};
            stats.size = sizeof(stats);
            const bool processed =
                TavlinExt_GetFrameStats(camera_, &stats) == 1 && stats.processed > 0;
            if (now.framesDelivered >= before.framesDelivered + 2 && processed) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    // A frame message (not a failure notice) arrives within three seconds.
    bool CallbackFrame() {
        DrainFrames();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        TavlinMessage m;
        while (std::chrono::steady_clock::now() < deadline && NextFrameMessage(m, 3000)) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam != 0) return true;
        }
        return false;
    }

    // Trigger mode drops the first frame after it starts; two pulses give one frame.
    bool TriggeredFrame() {
        DrainFrames();
        TavlinVcam_Trigger(kDevice, 2);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        TavlinMessage m;
        while (std::chrono::steady_clock::now() < deadline && NextFrameMessage(m, 3000)) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam != 0) return true;
            TavlinVcam_Trigger(kDevice, 1);
        }
        return false;
    }

    // The camera is in mode m and works in it.
    void ExpectInMode(Mode m) {
        static const std::map<Mode, int32_t> internal = {{Mode::Idle, 0},     {Mode::Preview, 1},
                                                         {Mode::Callback, 1}, {Mode::Capture, 2},
                                                         {Mode::Trigger, 3},  {Mode::Recording, 1}};
        ASSERT_EQ(InternalMode(), internal.at(m));
        switch (m) {
            case Mode::Idle:
                break;
            case Mode::Preview:
            case Mode::Recording:
                EXPECT_TRUE(FramesFlow());
                break;
            case Mode::Callback:
                EXPECT_TRUE(CallbackFrame());
                break;
            case Mode::Capture:
                EXPECT_EQ(Tavlin_SnapShot(camera_, nullptr, 0, 0), 1);
                break;
            case Mode::Trigger:
                EXPECT_TRUE(TriggeredFrame());
                break;
        }
        EXPECT_EQ(Errors(), Codes{});
    }

    // The call a state-machine step makes for one export, where the probe's own arguments would
    // change the camera under test (device, window, files, dialogs) or not fit a frame.
    std::optional<std::function<int32_t(ProbeOutputs&)>> OwnCall(const std::string& name);

    // What the export does in mode m, for the exports whose answer depends on it.
    std::optional<Outcome> Transition(const std::string& name, Mode m);

    void RunEveryExportIn(Mode m);

    std::vector<uint8_t> frame_ = std::vector<uint8_t>(kFrameBytes);
    GuardedBuffer image_{kFrameBytes};
};

// Opens a dialog on a thread of its own and cancels it as a user would.
int32_t OpenAndCancel(int32_t camera, int32_t (*open)(int32_t, TAVLIN_HWND)) {
    std::atomic<int32_t> result{-1};
    std::thread runner([&] { result = open(camera, nullptr); });
    TAVLIN_HWND dialog = TavlinHost_FindCameraDialog(camera, 5000);
    if (dialog != nullptr) TavlinHost_DialogClick(dialog, 2);  // Cancel
    runner.join();
    return result;
}

std::optional<std::function<int32_t(ProbeOutputs&)>> StateMachineTest::OwnCall(
    const std::string& name) {
    const int32_t h = camera_;
    std::map<std::string, std::function<int32_t(ProbeOutputs&)>> calls = {
        {"Tavlin_CallBackPreview",
         [=, this](ProbeOutputs&) {
             return Tavlin_CallBackPreview(h, frames_, frame_.data(), kFrameBytes, 1);
         }},
        {"Tavlin_Trigger",
         [=, this](ProbeOutputs&) {
             return Tavlin_Trigger(h, frames_, frame_.data(), kFrameBytes, 1);
         }},
        {"Tavlin_SnapShot",
         [=, this](ProbeOutputs&) { return Tavlin_SnapShot(h, image_.data(), kFrameBytes, 0); }},
        {"Tavlin_GetImage",
         [=, this](ProbeOutputs&) { return Tavlin_GetImage(h, image_.data(), kFrameBytes, 1); }},
        {"Tavlin_SaveImage",
         [=, this](ProbeOutputs&) {
             return Tavlin_SaveImage(h, Path("step.png").c_str(), TAVLIN_FILE_PNG);
         }},
        {"Tavlin_SaveImageW",
         [=, this](ProbeOutputs&) {
             const std::string narrow = Path("step-w.bmp");
             const std::u16string wide(narrow.begin(), narrow.end());
             return Tavlin_SaveImageW(h, wide.c_str(), TAVLIN_FILE_BMP);
         }},
        {"Tavlin_Record",
         [=, this](ProbeOutputs&) { return Tavlin_Record(h, Path("step.avi").c_str(), 60000, 0); }},
        {"Tavlin_RecordW",
         [=, this](ProbeOutputs&) {
             const std::string narrow = Path("step-w.avi");
             const std::u16string wide(narrow.begin(), narrow.end());
             return Tavlin_RecordW(h, wide.c_str(), 60000, 0);
         }},
        {"Tavlin_SetDeviceNumber",
         [=](ProbeOutputs&) { return Tavlin_SetDeviceNumber(h, kDevice); }},
        {"Tavlin_SetCaptureWindowEx",
         [=](ProbeOutputs&) { return Tavlin_SetCaptureWindowEx(h, 1280, 0, 1280, 1024, 0, 1024); }},
        {"Tavlin_SetAnalogDlg",
         [=](ProbeOutputs&) { return OpenAndCancel(h, Tavlin_SetAnalogDlg); }},
        {"Tavlin_SetCameraDlg",
         [=](ProbeOutputs&) { return OpenAndCancel(h, Tavlin_SetCameraDlg); }},
        {"Tavlin_SetImageDlg", [=](ProbeOutputs&) { return OpenAndCancel(h, Tavlin_SetImageDlg); }},
        {"Tavlin_SetColorMode", [=](ProbeOutputs&) { return Tavlin_SetColorMode(h, 24); }},
        {"Tavlin_SetSubSample", [=](ProbeOutputs&) { return Tavlin_SetSubSample(h, 3); }},
        {"Tavlin_SetAutoIris", [=](ProbeOutputs&) { return Tavlin_SetAutoIris(h, 0); }},
        {"Tavlin_SetPreviewWindow",
         [=](ProbeOutputs&) { return Tavlin_SetPreviewWindow(h, nullptr, 0, 0, 0, 0); }},
        {"Tavlin_Initialize",
         [](ProbeOutputs&) {
             const int32_t other = Tavlin_Initialize(nullptr);
             return other != 0 && Tavlin_Release(other) == 1 ? 1 : 0;
         }},
    };
    const auto found = calls.find(name);
    if (found == calls.end()) return std::nullopt;
    return found->second;
}

std::optional<Outcome> StateMachineTest::Transition(const std::string& name, Mode m) {
    const bool idle = m == Mode::Idle;
    const bool capture = m == Mode::Capture;
    const bool trigger = m == Mode::Trigger;
    const bool streaming = Streaming(m);
    const Outcome stays{1, {}, m};
    const Outcome refused{0, {TAVLIN_ERR_NO_DEVICE}, m};
    // Starting a preview over capture or trigger mode fails and closes the camera.
    const Outcome closed{0, {TAVLIN_ERR_TRANSFER, TAVLIN_ERR_NO_DEVICE}, Mode::Idle};
    if (name == "Tavlin_Preview") {
        if (capture || trigger) return closed;
        return Outcome{1, {}, m == Mode::Recording ? Mode::Recording : Mode::Preview};
    }
    if (name == "Tavlin_CallBackPreview") {
        if (capture || trigger) return closed;
        return Outcome{1, {}, Mode::Callback};
    }
    if (name == "Tavlin_StartPreview") {
        if (capture || trigger) return refused;
        return Outcome{1, {}, idle ? Mode::Preview : m};
    }
    if (name == "Tavlin_StopPreview" || name == "Tavlin_Close") return Outcome{1, {}, Mode::Idle};
    if (name == "Tavlin_Capture") {
        if (streaming || trigger) return refused;
        return Outcome{1, {}, Mode::Capture};
    }
    if (name == "Tavlin_SnapShot") return idle || capture ? stays : refused;
    if (name == "Tavlin_Trigger") {
        if (streaming || capture) return refused;
        return Outcome{1, {}, Mode::Trigger};
    }
    if (name == "Tavlin_Record" || name == "Tavlin_RecordW") {
        if (capture || trigger) {
            return Outcome{0, {TAVLIN_ERR_FILE, TAVLIN_ERR_NO_DEVICE}, Mode::Idle};
        }
        if (m == Mode::Recording) return refused;  // one recording at a time
        return Outcome{1, {}, Mode::Recording};
    }
    // The device cannot change under a running acquisition.
    if (name == "Tavlin_SetDeviceNumber") return idle ? stays : refused;
    if (name == "Tavlin_GetConfigFilter" || name == "Tavlin_SetConfigFilter") {
        return Outcome{-1, {TAVLIN_ERR_NOT_SUPPORTED}, m};
    }
    if (name == "Tavlin_SetCaptureWindow") return Outcome{0, {TAVLIN_ERR_WINDOW}, m};
    return std::nullopt;
}

// Preparing an acquisition takes the sensor's settling pause, so the camera is put back into
// the mode only after a call that left it.
void StateMachineTest::RunEveryExportIn(Mode m) {
    Enter(m);
    for (const ExportProbe& probe : ExportProbes()) {
        const std::string name = probe.name;
        if (name == "Tavlin_Release") continue;  // ReleaseInEveryMode
        SCOPED_TRACE(name + " in " + Name(m));
        if (HasFatalFailure()) return;
        ProbeOutputs out;
        out.fileName = Path("missing.cfg");
        out.wideFileName = u"/nonexistent-tavlin-folder/missing.cfg";
        const auto own = OwnCall(name);
        const int32_t result = own ? (*own)(out) : probe.call(camera_, out);
        const Outcome expected = Transition(name, m).value_or(Outcome{std::nullopt, {}, m});
        if (expected.result) {
            EXPECT_EQ(result, *expected.result);
        }
        EXPECT_EQ(Errors(), expected.recorded);
        EXPECT_TRUE(out.ints.FencesIntact() && out.bytes.FencesIntact() &&
                    out.names.FencesIntact() && out.wideNames.FencesIntact() &&
                    out.info.FencesIntact());
        EXPECT_TRUE(image_.FencesIntact());
        ExpectInMode(expected.after);
        if (expected.after != m) {
            EXPECT_EQ(Tavlin_Close(camera_), 1);
            ClearErrors();
            Enter(m);
        }
    }
}

TEST_F(StateMachineTest, EveryExportWhileIdle) {
    RunEveryExportIn(Mode::Idle);
}
TEST_F(StateMachineTest, EveryExportWhilePreviewing) {
    RunEveryExportIn(Mode::Preview);
}
TEST_F(StateMachineTest, EveryExportWhileCallbackPreviewing) {
    RunEveryExportIn(Mode::Callback);
}
TEST_F(StateMachineTest, EveryExportInCaptureMode) {
    RunEveryExportIn(Mode::Capture);
}
TEST_F(StateMachineTest, EveryExportInTriggerMode) {
    RunEveryExportIn(Mode::Trigger);
}
TEST_F(StateMachineTest, EveryExportWhileRecording) {
    RunEveryExportIn(Mode::Recording);
}

// Releasing a camera in any mode ends its threads and returns promptly.
TEST_F(StateMachineTest, ReleaseInEveryMode) {
    for (const Mode m : kModes) {
        SCOPED_TRACE(Name(m));
        Enter(m);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Tavlin_Release(camera_), 1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(Tavlin_Release(camera_), 0);
        camera_ = 0;
        Open();
        ASSERT_EQ(Tavlin_SetDeviceNumber(camera_, kDevice), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
        ASSERT_EQ(Tavlin_SetWaitTime(camera_, 0), 1);
        ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
        ClearErrors();
    }
}

// However long the pause between polls, stopping does not wait it out.
TEST_F(StateMachineTest, StopIsPromptWhateverTheWaitTime) {
    for (const int32_t wait : {60000, INT32_MAX}) {
        ASSERT_EQ(Tavlin_SetWaitTime(camera_, wait), 1);
        for (auto stop : {Tavlin_StopPreview, Tavlin_Close, Tavlin_Release}) {
            ASSERT_EQ(Tavlin_Preview(camera_), 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(stop(camera_), 1);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        }
        Open();
        ASSERT_EQ(Tavlin_SetDeviceNumber(camera_, kDevice), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
    }
}

}  // namespace
}  // namespace tavlin::test
