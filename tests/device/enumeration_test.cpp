#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/tavlin_410qz_sdk.h"
#include "device_test_support.h"

namespace tavlin::device {
namespace {

using testing::AttachedCameras;

constexpr size_t kSlot = 256;

// Slots plus one guard slot that must stay untouched.
std::vector<char> NarrowBuffer(size_t slots) {
    return std::vector<char>((slots + 1) * kSlot, 'x');
}

std::string NarrowSlot(const std::vector<char>& buffer, size_t slot) {
    return std::string(&buffer[slot * kSlot]);
}

std::u16string WideSlot(const std::vector<char16_t>& buffer, size_t slot) {
    return std::u16string(&buffer[slot * kSlot]);
}

TEST(Enumeration, ListsNumberByRankAndPadToTenSlots) {
    AttachedCameras cameras({0, 3});
    CTavlin410QZVKESdk sdk;
    auto narrow = NarrowBuffer(10);
    ASSERT_EQ(sdk.EnumerateNames(narrow.data()), 2);
    EXPECT_EQ(NarrowSlot(narrow, 0), "Tavlin410QZ-VKE_01");
    EXPECT_EQ(NarrowSlot(narrow, 1), "Tavlin410QZ-VKE_02");
    for (size_t slot = 2; slot < 10; ++slot) EXPECT_EQ(NarrowSlot(narrow, slot), "") << slot;
    EXPECT_EQ(narrow[10 * kSlot], 'x');

    std::vector<char16_t> wide(11 * kSlot, u'x');
    ASSERT_EQ(sdk.EnumerateNamesWide(wide.data()), 2);
    EXPECT_EQ(WideSlot(wide, 1), u"Tavlin410QZ-VKE_02");
    EXPECT_EQ(WideSlot(wide, 9), u"");
    EXPECT_EQ(wide[10 * kSlot], u'x');
}

TEST(Enumeration, NamesOfSingleDevicesUseTheIndex) {
    AttachedCameras cameras({0, 3});
    CTavlin410QZVKESdk sdk;
    char name[32] = {};
    ASSERT_EQ(sdk.DeviceName(3, name, sizeof(name)), 0);
    EXPECT_STREQ(name, "Tavlin410QZ-VKE_04");
    EXPECT_EQ(sdk.DeviceName(1, name, sizeof(name)), kNameAbsent);
    EXPECT_EQ(sdk.DeviceName(32, name, sizeof(name)), kNameInvalid);
    EXPECT_EQ(sdk.DeviceName(-1, name, sizeof(name)), kNameInvalid);
    EXPECT_EQ(sdk.DeviceName(0, nullptr, 32), kNameInvalid);
    char16_t wide[19] = {};
    ASSERT_EQ(sdk.DeviceNameWide(0, wide, 19), 0);
    EXPECT_EQ(std::u16string(wide), u"Tavlin410QZ-VKE_01");
}

TEST(Enumeration, ShortNameBuffersAreRefusedUntouched) {
    AttachedCameras cameras({0});
    CTavlin410QZVKESdk sdk;
    std::vector<char> name(18, 'x');  // one short of name and terminator
    EXPECT_EQ(sdk.DeviceName(0, name.data(), 14), kNameInvalid);
    EXPECT_EQ(sdk.DeviceName(0, name.data(), 18), kNameInvalid);
    EXPECT_EQ(std::string(name.begin(), name.end()), std::string(18, 'x'));
    std::vector<char16_t> wide(16, u'x');
    EXPECT_EQ(sdk.DeviceNameWide(0, wide.data(), 16), kNameInvalid);
    EXPECT_EQ(wide[0], u'x');
}

TEST(Enumeration, TwelveCamerasFillTwelveSlots) {
    AttachedCameras cameras({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    CTavlin410QZVKESdk sdk;
    auto narrow = NarrowBuffer(12);
    ASSERT_EQ(sdk.EnumerateNames(narrow.data()), 12);
    EXPECT_EQ(NarrowSlot(narrow, 11), "Tavlin410QZ-VKE_12");
    EXPECT_EQ(narrow[12 * kSlot], 'x');
}

TEST(Enumeration, LateCameraReachesTheWideListOnlyAfterANarrowOne) {
    AttachedCameras cameras({0});
    CTavlin410QZVKESdk sdk;
    AttachedCameras::Attach(5);
    EXPECT_EQ(sdk.EnumerateNamesWide(nullptr), 1);
    EXPECT_FALSE(sdk.IsPresent(5));
    auto narrow = NarrowBuffer(10);
    EXPECT_EQ(sdk.EnumerateNames(narrow.data()), 2);
    EXPECT_EQ(sdk.EnumerateNamesWide(nullptr), 2);
    EXPECT_TRUE(sdk.IsPresent(5));
    EXPECT_EQ(sdk.SelectedIndex(), 0);  // a re-probe keeps the camera in use
}

TEST(Enumeration, NoCameraGivesTenEmptySlots) {
    CTavlin410QZVKESdk sdk;
    auto narrow = NarrowBuffer(10);
    EXPECT_EQ(sdk.EnumerateNames(narrow.data()), 0);
    for (size_t slot = 0; slot < 10; ++slot) EXPECT_EQ(NarrowSlot(narrow, slot), "");
}

TEST(Selection, AnotherIndexBuildsItsPath) {
    AttachedCameras cameras({0, 23});
    CTavlin410QZVKESdk sdk;
    ASSERT_EQ(sdk.SelectCamera(23), Status::Ok);
    EXPECT_STREQ(sdk.DevicePath(), "\\\\.\\TvlnQZ410VKE-M");
    EXPECT_EQ(sdk.SelectedIndex(), 23);
    uint16_t gain = 0;
    ASSERT_EQ(TavlinVcam_ReadSensorRegister(23, 53, &gain), 1);
    EXPECT_EQ(gain, 14);  // the selected camera was initialised
}

}  // namespace
}  // namespace tavlin::device
