// Discovery over an emulated bus (umockdev): the id list, the layout check, the order and
// hotplug, through libusb itself. Runs under umockdev-wrapper; no transfers are emulated here.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <umockdev.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "usb/usb_cameras.h"

namespace tavlin::usb {
namespace {

constexpr uint16_t kVendor = 0x1a2b;
constexpr uint16_t kCamera = 0x0410;
constexpr uint16_t kOther = 0x0411;

std::string Hex16(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x", value & 0xFF, value >> 8);  // little-endian
    return text;
}

// Device, configuration, interface 0 and its endpoints as hex, as sysfs "descriptors" holds them.
std::string Descriptors(uint16_t product, const std::vector<std::string>& endpoints) {
    std::string device = "12010002000000 40" + Hex16(kVendor) + Hex16(product) + "0001000000 01";
    std::string all;
    for (const auto& endpoint : endpoints) all += endpoint;
    const auto total = static_cast<uint16_t>(9 + 9 + 7 * endpoints.size());
    char interface[32];
    std::snprintf(interface, sizeof interface, "090400000%zxff000000", endpoints.size());
    std::string text = device + "0902" + Hex16(total) + "0101008032" + interface + all;
    std::erase(text, ' ');
    return text;
}

std::string BulkOut(int address) {
    char text[16];
    std::snprintf(text, sizeof text, "0705%02x02000200", address);
    return text;
}

std::string BulkIn(int address) {
    return BulkOut(0x80 | address);
}

const std::vector<std::string> kCameraEndpoints = {BulkOut(1), BulkIn(1), BulkIn(2)};

class EmulatedBus : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* preload = getenv("LD_PRELOAD");
        if (preload == nullptr || std::string(preload).find("umockdev") == std::string::npos) {
            GTEST_SKIP() << "needs umockdev-wrapper";
        }
        testbed_ = umockdev_testbed_new();
        ASSERT_NE(testbed_, nullptr);
    }
    void TearDown() override {
        if (testbed_ != nullptr) g_object_unref(testbed_);
    }

    // A device at sysfs path `parent`/`name` ("1-9.1"), with the given descriptors.
    std::string Add(const std::string& parent, const std::string& name, int bus, int address,
                    const std::string& descriptors) {
        char node[32];
        std::snprintf(node, sizeof node, "bus/usb/%03d/%03d", bus, address);
        const std::string path = parent + "/" + name;
        const std::string record = "P: " + path + "\nN: " + node + "\nE: SUBSYSTEM=usb\n" +
                                   "E: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=" + Three(bus) +
                                   "\nE: DEVNUM=" + Three(address) + "\nE: DEVNAME=/dev/" + node +
                                   "\nA: busnum=" + std::to_string(bus) +
                                   "\\n\nA: devnum=" + std::to_string(address) +
                                   "\\n\nA: bConfigurationValue=1\\n\nA: speed=480\\n\n" +
                                   "H: descriptors=" + descriptors + "\n";
        GError* error = nullptr;
        EXPECT_TRUE(umockdev_testbed_add_from_string(testbed_, record.c_str(), &error));
        if (error != nullptr) g_error_free(error);
        return "/sys" + path;
    }

    static std::string Three(int n) {
        char text[8];
        std::snprintf(text, sizeof text, "%03d", n);
        return text;
    }

    UMockdevTestbed* testbed_ = nullptr;
};

std::vector<std::string> Paths(const std::vector<UsbCamera>& cameras) {
    std::vector<std::string> paths;
    for (const auto& camera : cameras) paths.push_back(camera.PortPath());
    return paths;
}

// The whole story in one test: the context is process-wide, and the bus must exist before
// libusb starts.
TEST_F(EmulatedBus, FindsListedCamerasInPortOrderAndFollowsPlugging) {
    const std::string rootHub1 = "/devices/pci0000:00/usb1";
    const std::string rootHub2 = "/devices/pci0000:00/usb2";
    const std::string plainHub = Descriptors(0x0001, {});
    Add("/devices/pci0000:00", "usb1", 1, 1, plainHub);
    Add("/devices/pci0000:00", "usb2", 2, 1, plainHub);
    Add(rootHub1, "1-9", 1, 2, plainHub);
    Add(rootHub1, "1-10", 1, 4, Descriptors(kCamera, kCameraEndpoints));
    Add(rootHub1 + "/1-9", "1-9.1", 1, 5, Descriptors(kCamera, kCameraEndpoints));
    Add(rootHub1, "1-2", 1, 6, Descriptors(kCamera, kCameraEndpoints));
    Add(rootHub2, "2-1", 2, 2, Descriptors(kCamera, kCameraEndpoints));
    Add(rootHub1, "1-3", 1, 7, Descriptors(kOther, {BulkOut(1), BulkIn(1)}));
    Add(rootHub1, "1-4", 1, 8, Descriptors(kOther, {BulkOut(1), BulkIn(1), BulkOut(2)}));

    setenv("TAVLIN_USB_IDS_FILE", "/nonexistent/usb-ids", 1);
    setenv("TAVLIN_USB_IDS", "1a2b:0410,1a2b:0411,nonsense", 1);

    const UsbScan scan = Scan();
    ASSERT_TRUE(scan.available);
    EXPECT_EQ(Paths(scan.cameras), (std::vector<std::string>{"1-2", "1-9.1", "1-10", "2-1"}));
    EXPECT_EQ(scan.cameras[1].Node(), "/dev/bus/usb/001/005");
    EXPECT_EQ(scan.cameras[1].vendor, kVendor);
    EXPECT_EQ(scan.cameras[1].product, kCamera);
    ASSERT_EQ(scan.skipped.size(), 2u);
    EXPECT_EQ(scan.skipped[0].device.PortPath(), "1-3");
    EXPECT_EQ(scan.skipped[0].reason, "interface 0 has 2 endpoints, the camera has 3");
    EXPECT_EQ(scan.skipped[1].reason, "endpoint 3 (0x02) is OUT, the camera's is IN");
    ASSERT_EQ(scan.idListWarnings.size(), 1u);
    EXPECT_EQ(Paths(Cameras()), Paths(scan.cameras));

    // Unlisted: passed over without a word.
    setenv("TAVLIN_USB_IDS", "1a2b:0410", 1);
    EXPECT_TRUE(Scan().skipped.empty());

    // Unplugged and plugged: the list follows (hotplug, or the next rescan without it).
    // The kernel says so before the device's folder goes; the testbed needs telling.
    umockdev_testbed_uevent(testbed_, "/sys/devices/pci0000:00/usb1/1-2", "remove");
    umockdev_testbed_remove_device(testbed_, "/sys/devices/pci0000:00/usb1/1-2");
    Add(rootHub1, "1-5", 1, 9, Descriptors(kCamera, kCameraEndpoints));
    const std::vector<std::string> after = {"1-5", "1-9.1", "1-10", "2-1"};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Paths(Cameras()) != after && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Paths(Cameras()), after);

    // A camera that is no longer there cannot be opened.
    UsbCamera gone = scan.cameras[0];
    const OpenResult result = Open(gone);
    EXPECT_EQ(result.status, OpenStatus::kGone);
    EXPECT_EQ(result.file, nullptr);
}

}  // namespace
}  // namespace tavlin::usb
