#include <gtest/gtest.h>

#include "usb/usb_cameras.h"

namespace tavlin::usb {
namespace {

UsbCamera Camera() {
    UsbCamera camera;
    camera.bus = 1;
    camera.ports = {4};
    camera.address = 2;
    return camera;
}

bool Has(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

TEST(UsbAdvice, PermissionNamesNodeRulesAndGroup) {
    EXPECT_EQ(OpenStatusAdvice(OpenStatus::kPermissionDenied, Camera()),
              "permission denied on /dev/bus/usb/001/002: install 60-tavlin.rules (udev) and "
              "re-plug the camera, or add your user to group plugdev");
}

TEST(UsbAdvice, EveryFailureNamesTheNodeAndTheRulesFile) {
    for (auto status : {OpenStatus::kGone, OpenStatus::kPermissionDenied, OpenStatus::kBusy,
                        OpenStatus::kFailed}) {
        const std::string advice = OpenStatusAdvice(status, Camera());
        EXPECT_TRUE(Has(advice, "/dev/bus/usb/001/002")) << advice;
        EXPECT_TRUE(Has(advice, "60-tavlin.rules")) << advice;
    }
}

TEST(UsbAdvice, SaysWhatWentWrong) {
    EXPECT_TRUE(Has(OpenStatusAdvice(OpenStatus::kBusy, Camera()), "busy"));
    EXPECT_TRUE(Has(OpenStatusAdvice(OpenStatus::kGone, Camera()), "gone"));
    EXPECT_TRUE(Has(OpenStatusAdvice(OpenStatus::kFailed, Camera()), "could not open"));
    EXPECT_TRUE(Has(OpenStatusAdvice(OpenStatus::kOk, Camera()), "/dev/bus/usb/001/002"));
}

}  // namespace
}  // namespace tavlin::usb
