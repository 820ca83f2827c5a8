// Whatever carries them, packets and frames arrive unchanged: the same calls on a camera reached
// over the transport under test and on one attached in-process leave the same command packets
// and reply blocks in the cameras' traces, byte for byte and in the same order (initialisation,
// window, sub-sampling, trigger, registers and SROM), and give the same images for both sample
// widths, several windows and every sub-sampling.
#include <vector>

#include "device/driver_protocol.h"
#include "integration/sdk_fixture.h"

namespace tavlin::test {
namespace {

// What crossed pipes 0 and 1 (the control code says how a request was asked for, which a USB
// transfer does not carry).
struct Crossing {
    uint32_t pipe = 0;
    uint32_t length = 0;
    int32_t succeeded = 0;
    std::vector<uint8_t> data;
    bool operator==(const Crossing&) const = default;
};

std::vector<Crossing> PacketTrace(int32_t index) {
    uint32_t count = 0;
    EXPECT_EQ(TavlinVcam_GetTraceCount(index, &count), 1);
    std::vector<TavlinVcamTraceEntry> entries(count);
    const int32_t got = TavlinVcam_GetTrace(index, 0, entries.data(), count);
    entries.resize(got > 0 ? static_cast<size_t>(got) : 0);
    std::vector<Crossing> crossings;
    for (const TavlinVcamTraceEntry& e : entries) {
        if (e.pipe != 0 && e.pipe != 1) continue;
        // How many frames a trigger loop prepares and asks for before it sees the stop is
        // timing; what the frames carry is compared by the frame test below.
        if (e.pipe == 0 && (e.data[0] == device::protocol::kCmdFrameRequest ||
                            e.data[0] == device::protocol::kCmdPrepareTransfer)) {
            continue;
        }
        crossings.push_back({e.pipe, e.length, e.succeeded, {e.data, e.data + sizeof(e.data)}});
    }
    return crossings;
}

// Selects the device (which initialises it) and runs a little of everything that talks to it.
void RunSequence(int32_t camera, int32_t device, TAVLIN_HWND frames) {
    ASSERT_EQ(Tavlin_SetDeviceNumber(camera, device), 1);
    EXPECT_EQ(Tavlin_SetCaptureWindowEx(camera, 1280, 8, 640, 1024, 16, 480), 1);
    EXPECT_EQ(Tavlin_SetSubSample(camera, 1), 1);
    EXPECT_EQ(Tavlin_SetColorMode(camera, 24), 1);
    std::vector<uint8_t> image(1280 * 1024 * 4);
    EXPECT_EQ(Tavlin_Trigger(camera, frames, image.data(), int32_t(image.size()), 1), 1);
    EXPECT_EQ(Tavlin_StopPreview(camera), 1);
    EXPECT_EQ(Tavlin_WriteRegister(camera, 9, 400), 1);
    EXPECT_EQ(Tavlin_WriteSromID(camera, 5, 0x5A), 1);
    int32_t ok = 0;
    EXPECT_EQ(Tavlin_ReadSromID(camera, 5, &ok), 0x5A);
    EXPECT_EQ(ok, 1);
}

class TransportPackets : public TransportTest {
  protected:
    // An in-process camera at 1 and one over the transport under test at 2 (USB cameras fill
    // the indices no virtual camera holds, so 1 must be taken first).
    void PlugBoth() {
        ASSERT_EQ(TavlinVcam_Attach(1), 1);
        TavlinVcam_SetPacing(1, TAVLIN_VCAM_PACING_FAST);
        PlugCamera(2);
        ASSERT_FALSE(HasFatalFailure());
        TavlinVcam_ClearTrace(1);
        TavlinVcam_ClearTrace(2);
    }
};

TEST_P(TransportPackets, EveryPacketReachesTheCameraAsItDoesInProcess) {
    PlugBoth();
    ASSERT_FALSE(HasFatalFailure());

    const int32_t overTransport = Tavlin_Initialize(window_);
    const int32_t inProcess = Tavlin_Initialize(window_);
    ASSERT_NE(overTransport, 0);
    ASSERT_NE(inProcess, 0);
    RunSequence(overTransport, 2, frames_);
    RunSequence(inProcess, 1, frames_);
    EXPECT_EQ(Tavlin_Release(overTransport), 1);
    EXPECT_EQ(Tavlin_Release(inProcess), 1);

    const std::vector<Crossing> carried = PacketTrace(2);
    const std::vector<Crossing> direct = PacketTrace(1);
    ASSERT_GT(direct.size(), 50u);  // the sequence did reach the camera
    ASSERT_EQ(carried.size(), direct.size());
    for (size_t i = 0; i < direct.size(); ++i) {
        ASSERT_EQ(carried[i], direct[i]) << "crossing " << i << " on pipe " << direct[i].pipe;
    }
}

TEST_P(TransportPackets, FramesOfBothSampleWidthsEveryWindowAndSubSamplingAreTheSame) {
    PlugBoth();
    ASSERT_FALSE(HasFatalFailure());
    const int32_t overTransport = Tavlin_Initialize(window_);
    const int32_t inProcess = Tavlin_Initialize(window_);
    ASSERT_EQ(Tavlin_SetDeviceNumber(overTransport, 2), 1);
    ASSERT_EQ(Tavlin_SetDeviceNumber(inProcess, 1), 1);
    struct Window {
        int32_t x, width, y, height;
        std::vector<int32_t> subSamplings;
    };
    const Window windows[] = {{0, 1280, 0, 1024, {0, 2}}, {64, 640, 32, 480, {1, 3}}};
    std::vector<uint8_t> a(1280 * 1024 * 8), b(a.size());
    for (int32_t bits : {8, 16, 24, 48}) {  // 16 and 48 read 10-bit samples, two bytes each
        for (const Window& w : windows) {
            for (const int32_t subSample : w.subSamplings) {
                SCOPED_TRACE(::testing::Message() << bits << " bits, " << w.width << " x "
                                                  << w.height << ", sub-sampling " << subSample);
                for (const int32_t camera : {overTransport, inProcess}) {
                    ASSERT_EQ(Tavlin_SetColorMode(camera, bits), 1);
                    ASSERT_EQ(
                        Tavlin_SetCaptureWindowEx(camera, 1280, w.x, w.width, 1024, w.y, w.height),
                        1);
                    ASSERT_EQ(Tavlin_SetSubSample(camera, subSample), 1);
                }
                ASSERT_EQ(Tavlin_SnapShot(overTransport, a.data(), int32_t(a.size()), 1), 1);
                ASSERT_EQ(Tavlin_SnapShot(inProcess, b.data(), int32_t(b.size()), 1), 1);
                ASSERT_EQ(a, b);
            }
        }
    }
    EXPECT_EQ(Tavlin_Release(overTransport), 1);
    EXPECT_EQ(Tavlin_Release(inProcess), 1);
}

TAVLIN_INSTANTIATE_TRANSPORTS(TransportPackets);

}  // namespace
}  // namespace tavlin::test
