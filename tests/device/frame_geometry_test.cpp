#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "device/tvl_sdk_lib.h"

namespace tavlin::device {
namespace {

TEST(FrameGeometry, FrameBytesRoundUpToWholeKilobytes) {
    CTVLSdkLib sdk;
    ASSERT_EQ(sdk.SetFrameGeometry(1280, 0, 1280, 1024, 0, 1024, 4), Status::Ok);
    EXPECT_EQ(sdk.FrameBytes(), 1310720);
    EXPECT_EQ(sdk.RingBufferBytes(), 2621440u);
    EXPECT_EQ(sdk.WorkBufferBytes(), 2621440u);
    ASSERT_EQ(sdk.SetFrameGeometry(641, 0, 641, 481, 0, 481, 2), Status::Ok);
    EXPECT_EQ(sdk.FrameBytes(), 309248);
    EXPECT_EQ(sdk.BufferCount(), 2);
}

TEST(FrameGeometry, InvalidGeometryKeepsThePreviousOne) {
    CTVLSdkLib sdk;
    ASSERT_EQ(sdk.SetFrameGeometry(64, 0, 64, 32, 0, 32, 4), Status::Ok);
    EXPECT_EQ(sdk.SetFrameGeometry(0, 0, 1, 32, 0, 32, 4), Status::BadLineWidth);
    EXPECT_EQ(sdk.SetFrameGeometry(64, 0, 65, 32, 0, 32, 4), Status::BadLineWidth);
    EXPECT_EQ(sdk.SetFrameGeometry(64, 10, 60, 32, 0, 32, 4), Status::BadLineWidth);
    EXPECT_EQ(sdk.SetFrameGeometry(64, 0, 64, 32, 1, 32, 4), Status::BadFrameLines);
    EXPECT_EQ(sdk.SetFrameGeometry(64, 0, 64, 32, -1, 8, 4), Status::BadFrameLines);
    EXPECT_EQ(sdk.SetFrameGeometry(64, 0, 64, 0, 0, 0, 4), Status::BadFrameLines);
    EXPECT_EQ(sdk.SetFrameGeometry(64, 0, 64, 32, 0, 32, 1), Status::TooFewBuffers);
    EXPECT_EQ(sdk.SetFrameGeometry(0x7FFFFFFF, 0, 1, 0x7FFFFFFF, 0, 0x7FFFFFFF, 4),
              Status::NoMemory);
    EXPECT_EQ(sdk.LineWidth(), 64);
    EXPECT_EQ(sdk.FrameBytes(), 2048);
    EXPECT_EQ(sdk.RingBufferBytes(), 4096u);
}

TEST(CopyVisible, CutsTheVisiblePartOutOfEachLine) {
    CTVLSdkLib sdk;
    ASSERT_EQ(sdk.SetFrameGeometry(8, 2, 4, 6, 1, 3, 2), Status::Ok);
    std::vector<uint8_t> source(8 * 6);
    std::iota(source.begin(), source.end(), 0);
    std::vector<uint8_t> out(4 * 3 + 1, 0xEE);
    ASSERT_EQ(sdk.CopyVisible(out.data(), source.data()), Status::Ok);
    const std::vector<uint8_t> expected = {10, 11, 12, 13, 18, 19, 20, 21, 26, 27, 28, 29, 0xEE};
    EXPECT_EQ(out, expected);
}

TEST(CopyVisible, SixteenBitSamplesCopyTwoBytesEach) {
    CTVLSdkLib sdk;
    ASSERT_EQ(sdk.SetFrameGeometry(4, 1, 2, 2, 1, 1, 2), Status::Ok);
    sdk.SetSampleWidth(1);  // no camera selected: only the field changes
    std::vector<uint8_t> source(4 * 2 * 2);
    std::iota(source.begin(), source.end(), 0);
    std::vector<uint8_t> out(4);
    sdk.CopyVisible(out.data(), source.data());
    EXPECT_EQ(out, (std::vector<uint8_t>{10, 11, 12, 13}));
}

TEST(Transfer, NeedsARingAndAStopIsHarmlessWithoutARun) {
    CTVLSdkLib sdk;
    EXPECT_EQ(sdk.StartTransfer(), Status::TooFewBuffers);
    EXPECT_EQ(sdk.StopTransfer(), Status::Ok);
    EXPECT_EQ(sdk.WaitFrame(), Status::NotRunning);
    EXPECT_EQ(sdk.ReadSingleFrame(), Status::Failed);  // no geometry yet
}

}  // namespace
}  // namespace tavlin::device
