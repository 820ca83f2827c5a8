// USB cameras as an application and tavlin-ctl meet them, on the emulated bus: placed on the
// indices no virtual camera holds, arriving and leaving, and the cameras that cannot be used
// (not permitted, claimed by another program, not the camera's endpoints, ids that do not
// parse), each with the SDK's usual error and words that say what to do.
#include <libusb.h>
#include <stdlib.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "integration/sdk_fixture.h"
#include "support/emulated_usb.h"
#include "support/usb_presenter.h"
#include "tavlin/tavlin_ext.h"
#include "vcam/camera_registry.h"

namespace tavlin::test {
namespace {

using testing::EmulatedUsbBus;
using testing::UsbEndpointLayout;
using testing::UsbPlugOptions;

TavlinExtDeviceInfo DeviceInfo(int32_t index) {
    TavlinExtDeviceInfo info{};
    info.size = sizeof(info);
    EXPECT_EQ(TavlinExt_GetDeviceInfo(index, &info), 1);
    return info;
}

template <typename Condition>
bool WaitUntil(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string UsbReport() {
    std::string report(static_cast<size_t>(TavlinExt_GetUsbReport(nullptr, 0)) + 1, '\0');
    TavlinExt_GetUsbReport(report.data(), static_cast<int32_t>(report.size()));
    report.resize(report.size() - 1);
    return report;
}

class UsbDevices : public SdkTest {
  protected:
    void SetUp() override {
        if (!UsbEmulationActive()) GTEST_SKIP() << "needs the USB emulation";
        openCamera_ = false;
        SdkTest::SetUp();
    }
    Transport Reach() const override { return Transport::kUsb; }

    // A camera on the bus outside the presenter's bookkeeping: for layouts and node modes.
    EmulatedUsbBus::DeviceId PlugRaw(UsbPlugOptions options) {
        camera_model_ = std::make_shared<vcam::VirtualCamera>(77);
        return EmulatedUsbBus::Instance().Plug(camera_model_, options);
    }

    std::shared_ptr<vcam::VirtualCamera> camera_model_;
};

TEST_F(UsbDevices, UsbCamerasTakeTheIndicesNoVirtualCameraHoldsAndComeAndGo) {
    // The fixture's camera 0 is on the bus; a virtual camera attached at 1 keeps index 1.
    ASSERT_EQ(TavlinVcam_Attach(1), 1);
    PlugCamera(2);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(DeviceInfo(0).reach, TAVLIN_EXT_REACH_USB);
    EXPECT_EQ(DeviceInfo(1).reach, TAVLIN_EXT_REACH_IN_PROCESS);
    const TavlinExtDeviceInfo second = DeviceInfo(2);
    ASSERT_EQ(second.reach, TAVLIN_EXT_REACH_USB);
    EXPECT_EQ(second.access, TAVLIN_EXT_ACCESS_OK);
    EXPECT_EQ(second.usbVendor, 0xfff0);
    EXPECT_EQ(second.usbProduct, 0x0410);
    EXPECT_STREQ(second.usbPortPath, "1-3");
    EXPECT_STREQ(second.usbSerial, "VKE1002");
    EXPECT_EQ(std::string(second.usbNode).rfind("/dev/bus/usb/001/", 0), 0u) << second.usbNode;

    Open();
    std::vector<char> names(32 * TAVLIN_DEVICE_NAME_SLOT);
    EXPECT_EQ(Tavlin_EnumDevice(camera_, names.data()), 3);
    ASSERT_EQ(Tavlin_SetDeviceNumber(camera_, 2), 1);
    ASSERT_EQ(Tavlin_SetDeviceNumber(camera_, 0), 1);
    // Removal: the camera leaves the list; arrival: the next enumeration, and a new camera
    // object, find it again.
    UnplugCamera(2);
    EXPECT_EQ(DeviceInfo(2).reach, TAVLIN_EXT_REACH_NONE);
    EXPECT_EQ(Tavlin_EnumDevice(camera_, names.data()), 2);
    EXPECT_EQ(Tavlin_SetDeviceNumber(camera_, 2), 0);
    PlugCamera(2);
    EXPECT_EQ(Tavlin_EnumDevice(camera_, names.data()), 3);
    ClearErrors();
    EXPECT_EQ(Tavlin_SetDeviceNumber(camera_, 2), 1) << ::testing::PrintToString(Errors());
    const int32_t another = Tavlin_Initialize(window_);
    char name[64] = {};
    EXPECT_EQ(Tavlin_GetDeviceName(another, 2, name, sizeof(name)), 1);
    EXPECT_EQ(Tavlin_Release(another), 1);
}

// The SDK's log of the USB category, kept while it lives.
class UsbLog {
  public:
    UsbLog() { TavlinExt_SetLogCallback(&UsbLog::Keep, this, TAVLIN_EXT_LOG_WARN); }
    ~UsbLog() { TavlinExt_SetLogCallback(nullptr, nullptr, TAVLIN_EXT_LOG_OFF); }
    UsbLog(const UsbLog&) = delete;
    UsbLog& operator=(const UsbLog&) = delete;

    std::string Text() {
        std::lock_guard<std::mutex> guard(mutex_);
        return text_;
    }

  private:
    static void Keep(void* self, int32_t, const char* category, int32_t, int64_t,
                     const char* message) {
        auto* log = static_cast<UsbLog*>(self);
        if (std::string(category) != "usb") return;
        std::lock_guard<std::mutex> guard(log->mutex_);
        log->text_ += std::string(message) + "\n";
    }

    std::mutex mutex_;
    std::string text_;
};

TEST_F(UsbDevices, ANodeThatMayNotBeOpenedFailsWithError2AndSaysWhatToDo) {
    UnplugCamera(0);
    UsbPlugOptions options;
    options.readable = false;
    const auto id = PlugRaw(options);
    ASSERT_TRUE(WaitUntil([] { return DeviceInfo(0).reach == TAVLIN_EXT_REACH_USB; }));
    Open();
    {
        testing::ScopedFileModeChecks unprivileged;
        UsbLog log;
        const TavlinExtDeviceInfo info = DeviceInfo(0);
        EXPECT_EQ(info.access, TAVLIN_EXT_ACCESS_PERMISSION_DENIED);
        // The log names the node and the reason.
        EXPECT_NE(log.Text().find(std::string("cannot open ") + info.usbNode), std::string::npos)
            << log.Text();
        EXPECT_NE(log.Text().find("permission denied"), std::string::npos) << log.Text();
        const std::string advice = info.advice;
        EXPECT_NE(advice.find(info.usbNode), std::string::npos) << advice;
        EXPECT_NE(advice.find("60-tavlin.rules"), std::string::npos) << advice;
        ClearErrors();
        std::vector<char> names(32 * TAVLIN_DEVICE_NAME_SLOT);
        EXPECT_EQ(Tavlin_EnumDevice(camera_, names.data()), 0);
        char name[64] = {};
        EXPECT_EQ(Tavlin_GetDeviceName(camera_, 0, name, sizeof(name)), 0);
        EXPECT_EQ(Errors(), std::vector<int32_t>{TAVLIN_ERR_DEVICE_BUSY});
    }
    EmulatedUsbBus::Instance().Unplug(id);
}

TEST_F(UsbDevices, ACameraAnotherProgramHoldsIsBusy) {
    libusb_context* other = nullptr;
    ASSERT_EQ(libusb_init(&other), 0);
    libusb_device_handle* held =
        libusb_open_device_with_vid_pid(other, 0xfff0, 0x0410);  // the fixture's camera 0
    ASSERT_NE(held, nullptr);
    ASSERT_EQ(libusb_claim_interface(held, 0), 0);
    UsbLog log;
    const TavlinExtDeviceInfo info = DeviceInfo(0);
    EXPECT_EQ(info.access, TAVLIN_EXT_ACCESS_BUSY);
    EXPECT_NE(log.Text().find(std::string("cannot open ") + info.usbNode + " "), std::string::npos)
        << log.Text();
    EXPECT_NE(log.Text().find(": busy ("), std::string::npos) << log.Text();
    EXPECT_NE(std::string(info.advice).find(info.usbNode), std::string::npos) << info.advice;
    Open();
    char name[64] = {};
    EXPECT_EQ(Tavlin_GetDeviceName(camera_, 0, name, sizeof(name)), 0);
    EXPECT_EQ(Errors(), std::vector<int32_t>{TAVLIN_ERR_DEVICE_BUSY});
    // Once the other program lets go, the camera is there.
    libusb_release_interface(held, 0);
    libusb_close(held);
    libusb_exit(other);
    ASSERT_TRUE(SettleUsb());  // the emulation notices a closed handle a moment later
    EXPECT_EQ(DeviceInfo(0).access, TAVLIN_EXT_ACCESS_OK);
    std::vector<char> names(32 * TAVLIN_DEVICE_NAME_SLOT);
    EXPECT_EQ(Tavlin_EnumDevice(camera_, names.data()), 1);  // a new enumeration finds it
    EXPECT_EQ(Tavlin_GetDeviceName(camera_, 0, name, sizeof(name)), 1);
}

TEST_F(UsbDevices, OtherLayoutsAndBadIdsArePassedOverWithAReason) {
    UnplugCamera(0);
    UsbPlugOptions options;
    options.layout = UsbEndpointLayout::kTwoEndpoints;
    options.ports = {5};
    const auto id = PlugRaw(options);
    setenv("TAVLIN_USB_IDS", "fff0:0410,12345:1,beef", 1);
    ASSERT_TRUE(WaitUntil([] { return UsbReport().find("skipped 1-5") != std::string::npos; }));
    const std::string report = UsbReport();
    EXPECT_NE(report.find("2 endpoints"), std::string::npos) << report;
    EXPECT_NE(report.find("12345:1"), std::string::npos) << report;
    EXPECT_NE(report.find("beef"), std::string::npos) << report;
    // Not a camera: no index is given to it.
    EXPECT_EQ(DeviceInfo(0).reach, TAVLIN_EXT_REACH_NONE);
    setenv("TAVLIN_USB_IDS", "fff0:0410", 1);
    EmulatedUsbBus::Instance().Unplug(id);
}

TEST_F(UsbDevices, TheUdevRulesGrantTheListedIds) {
    std::string rules(static_cast<size_t>(TavlinExt_GetUdevRules(nullptr, 0)) + 1, '\0');
    TavlinExt_GetUdevRules(rules.data(), static_cast<int32_t>(rules.size()));
    EXPECT_NE(rules.find("ATTR{idVendor}==\"fff0\", ATTR{idProduct}==\"0410\""), std::string::npos)
        << rules;
    EXPECT_NE(rules.find("TAG+=\"uaccess\""), std::string::npos);
    EXPECT_NE(rules.find("MODE=\"0660\", GROUP=\"plugdev\""), std::string::npos);
    // A buffer too small gets what fits, terminated, and the length needed.
    char small[8];
    EXPECT_EQ(TavlinExt_GetUdevRules(small, sizeof(small)), int32_t(rules.size() - 1));
    EXPECT_EQ(std::string(small), rules.substr(0, 7));
}

}  // namespace
}  // namespace tavlin::test
