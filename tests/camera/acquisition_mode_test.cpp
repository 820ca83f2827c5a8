#include "camera/acquisition_mode.h"

#include <gtest/gtest.h>

namespace tavlin::camera {
namespace {

TEST(AllowedModesTest, ContainsExactlyTheListedModes) {
    constexpr AllowedModes idleOrCapture{kIdle, kCaptureMode};
    static_assert(idleOrCapture.Contains(kIdle));
    EXPECT_TRUE(idleOrCapture.Contains(kCaptureMode));
    EXPECT_FALSE(idleOrCapture.Contains(kPreviewMode));
    EXPECT_FALSE(idleOrCapture.Contains(kTriggerMode));
}

TEST(AllowedModesTest, ValuesOutsideTheModesAreNeverAllowed) {
    constexpr AllowedModes all{kIdle, kPreviewMode, kCaptureMode, kTriggerMode};
    EXPECT_FALSE(all.Contains(-1));
    EXPECT_FALSE(all.Contains(4));
    EXPECT_FALSE(all.Contains(32));
    EXPECT_FALSE(all.Contains(INT32_MIN));
}

TEST(AllowedModesTest, EachOperationStartsFromIdleOrItsOwnMode) {
    EXPECT_TRUE(kStartPreviewFrom.Contains(kIdle));
    EXPECT_TRUE(kStartPreviewFrom.Contains(kPreviewMode));
    EXPECT_FALSE(kStartPreviewFrom.Contains(kCaptureMode));
    EXPECT_FALSE(kStartPreviewFrom.Contains(kTriggerMode));

    EXPECT_TRUE(kCaptureFrom.Contains(kCaptureMode));
    EXPECT_FALSE(kCaptureFrom.Contains(kPreviewMode));

    EXPECT_TRUE(kSnapshotFrom.Contains(kIdle));
    EXPECT_TRUE(kSnapshotFrom.Contains(kCaptureMode));
    EXPECT_FALSE(kSnapshotFrom.Contains(kPreviewMode));
    EXPECT_FALSE(kSnapshotFrom.Contains(kTriggerMode));

    EXPECT_TRUE(kTriggerFrom.Contains(kTriggerMode));
    EXPECT_FALSE(kTriggerFrom.Contains(kCaptureMode));
    EXPECT_FALSE(kTriggerFrom.Contains(kPreviewMode));

    EXPECT_TRUE(kSelectDeviceFrom.Contains(kIdle));
    EXPECT_FALSE(kSelectDeviceFrom.Contains(kPreviewMode));
    EXPECT_FALSE(kSelectDeviceFrom.Contains(kCaptureMode));
    EXPECT_FALSE(kSelectDeviceFrom.Contains(kTriggerMode));
}

}  // namespace
}  // namespace tavlin::camera
