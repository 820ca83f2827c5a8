// Claims filed by device scope: private devices in this process's table, shared ones in the
// section every process sees (a private section here, so the machine's table is safe).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "camera/device_claims.h"

namespace tavlin::camera {
namespace {

class DeviceClaimsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* saved = getenv("TAVLIN_SHARED_SECTION");
        saved_ = saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
        name_ = "/tavlin_test_scopes_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        shm_unlink(name_.c_str());
        setenv("TAVLIN_SHARED_SECTION", name_.c_str(), 1);
        ASSERT_TRUE(shared_.Open(name_.c_str()));
    }
    void TearDown() override {
        if (saved_) {
            setenv("TAVLIN_SHARED_SECTION", saved_->c_str(), 1);
        } else {
            unsetenv("TAVLIN_SHARED_SECTION");
        }
        shm_unlink(name_.c_str());
    }

    std::string name_;
    std::optional<std::string> saved_;
    ClaimTable shared_;  // what other processes see
};

TEST_F(DeviceClaimsTest, PrivateClaimsStayOutOfTheSharedSection) {
    DeviceClaims first;
    DeviceClaims second;
    ASSERT_TRUE(first.Open());
    ASSERT_TRUE(second.Open());
    ASSERT_TRUE(first.ClaimIfFree(5, ClaimScope::kProcess, 0x100));
    EXPECT_FALSE(shared_.Claimed(5));
    // Another camera object of this process is still kept off the device.
    EXPECT_TRUE(second.Claimed(5, ClaimScope::kProcess));
    EXPECT_FALSE(second.ClaimIfFree(5, ClaimScope::kProcess, 0x200));
    // The same number on a shared device is another device.
    EXPECT_FALSE(second.Claimed(5, ClaimScope::kMachine));
    EXPECT_TRUE(second.ClaimIfFree(5, ClaimScope::kMachine, 0x200));
    EXPECT_TRUE(shared_.Claimed(5));
    second.Release();
    EXPECT_FALSE(shared_.Claimed(5));
    EXPECT_TRUE(first.Claimed(5, ClaimScope::kProcess));
    first.Release();
    EXPECT_FALSE(second.Claimed(5, ClaimScope::kProcess));
}

TEST_F(DeviceClaimsTest, ReleaseGivesBackOnlyTheClaimThisObjectHolds) {
    DeviceClaims holder;
    DeviceClaims idle;
    ASSERT_TRUE(holder.Open());
    ASSERT_TRUE(idle.Open());
    ASSERT_TRUE(holder.ClaimIfFree(6, ClaimScope::kMachine, 0x300));
    idle.Release();  // holds nothing: the other object's claim with the same window stays
    EXPECT_TRUE(shared_.Claimed(6));
    holder.Release();
    EXPECT_FALSE(shared_.Claimed(6));
    holder.Release();  // a second release is harmless
    EXPECT_FALSE(shared_.Claimed(6));
}

TEST_F(DeviceClaimsTest, PrivateTableFollowsTheSharedRules) {
    ProcessClaimTable& table = ProcessClaimTable::Instance();
    // A claim without a window holds nothing, as a zero window field reads free in the section.
    EXPECT_TRUE(table.ClaimIfFree(7, 0));
    EXPECT_FALSE(table.Claimed(7));
    ASSERT_TRUE(table.ClaimIfFree(7, 0x400));
    table.Release(7, 0x401);  // another window's release leaves it
    EXPECT_TRUE(table.Claimed(7));
    table.Release(7, 0x400);
    EXPECT_FALSE(table.Claimed(7));
    // Numbers the shared section has no entry for are kept too.
    ASSERT_TRUE(table.ClaimIfFree(-1, 0x500));
    EXPECT_TRUE(table.Claimed(-1));
    table.Release(-1, 0x500);
}

TEST_F(DeviceClaimsTest, SectionNameComesFromTheEnvironmentOnlyWhenValid) {
    EXPECT_EQ(SharedSectionName(), name_);
    for (const char* bad : {"", "/", "no-slash", "/a/b", "//"}) {
        setenv("TAVLIN_SHARED_SECTION", bad, 1);
        EXPECT_EQ(SharedSectionName(), kSharedSectionName) << '"' << bad << '"';
    }
    setenv("TAVLIN_SHARED_SECTION", ("/" + std::string(255, 'x')).c_str(), 1);
    EXPECT_EQ(SharedSectionName(), kSharedSectionName);
    setenv("TAVLIN_SHARED_SECTION", ("/" + std::string(254, 'x')).c_str(), 1);
    EXPECT_EQ(SharedSectionName().size(), 255u);
    unsetenv("TAVLIN_SHARED_SECTION");
    EXPECT_EQ(SharedSectionName(), kSharedSectionName);
}

}  // namespace
}  // namespace tavlin::camera
