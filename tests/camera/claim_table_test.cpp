// The claim table between real processes, on a private section so the machine's table is safe.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "camera/claim_table.h"
#include "support/child_process.h"

namespace tavlin::camera {
namespace {

class ClaimTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        name_ = "/tavlin_test_claims_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        shm_unlink(name_.c_str());
    }
    void TearDown() override { shm_unlink(name_.c_str()); }

    std::string name_;
};

TEST_F(ClaimTableTest, CreatorZeroFillsAndLaterOpenersSeeTheSameTable) {
    ClaimTable first;
    ASSERT_TRUE(first.Open(name_.c_str()));
    EXPECT_FALSE(first.Claimed(0));
    ASSERT_EQ(first.Claim(3, 0x1234), 1);

    ClaimTable second;
    ASSERT_TRUE(second.Open(name_.c_str()));
    EXPECT_TRUE(second.Claimed(3));
    EXPECT_FALSE(second.Claimed(2));
}

TEST_F(ClaimTableTest, EntryLayoutMatchesTheSharedFormat) {
    ClaimTable table;
    ASSERT_TRUE(table.Open(name_.c_str()));
    table.Claim(1, 0xABCD);
    platform::SharedMemory raw;
    ASSERT_TRUE(raw.OpenOrCreate(name_, kSharedSectionSize));
    const uint8_t* entry = raw.View() + 1950464 + 152;
    uint64_t window = 0, module = 0, reserved = 1;
    std::memcpy(&window, entry, 8);
    std::memcpy(&module, entry + 8, 8);
    std::memcpy(&reserved, entry + 16, 8);
    EXPECT_EQ(window, 0xABCDu);
    EXPECT_EQ(module, static_cast<uint64_t>(getpid()));
    EXPECT_EQ(reserved, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(entry + 24), "TavlinSdk_410QZ_VKE.dll");
}

TEST_F(ClaimTableTest, ReleaseLeavesAnotherOwnersEntryAlone) {
    ClaimTable table;
    ASSERT_TRUE(table.Open(name_.c_str()));
    table.Claim(0, 0x100);
    EXPECT_EQ(table.Release(0, 0x200), 1);  // other window: not ours
    EXPECT_TRUE(table.Claimed(0));
    EXPECT_EQ(table.Release(0, 0x100), 1);
    EXPECT_FALSE(table.Claimed(0));
}

TEST_F(ClaimTableTest, DeviceNumbersOutsideTheSectionAreIgnoredSafely) {
    ClaimTable table;
    ASSERT_TRUE(table.Open(name_.c_str()));
    EXPECT_EQ(table.Claim(-1, 1), 1);
    EXPECT_EQ(table.Claim(1 << 30, 1), 1);
    EXPECT_FALSE(table.Claimed(-1));
    EXPECT_FALSE(table.Claimed(1 << 30));
}

TEST_F(ClaimTableTest, WithoutViewClaimAndReleaseGiveZero) {
    ClaimTable table;
    EXPECT_EQ(table.Claim(0, 1), 0);
    EXPECT_EQ(table.Release(0, 1), 0);
    EXPECT_FALSE(table.Claimed(0));
}

TEST_F(ClaimTableTest, AnotherProcessesClaimBlocksUntilReleased) {
    test::ChildProcess holder;
    ASSERT_TRUE(holder.Start("claim_holder", {name_, "2", "0x5000"}));
    ASSERT_EQ(holder.ReadLine(), "claimed");

    ClaimTable table;
    ASSERT_TRUE(table.Open(name_.c_str()));
    EXPECT_TRUE(table.Claimed(2));
    // Our release must not clear the other process's claim, even with the same window value.
    table.Release(2, 0x5000);
    EXPECT_TRUE(table.Claimed(2));

    holder.Send("release");
    ASSERT_EQ(holder.ReadLine(), "released");
    EXPECT_FALSE(table.Claimed(2));
    holder.Send("exit");
    EXPECT_EQ(holder.Wait(), 0);
}

TEST_F(ClaimTableTest, AKilledOwnersClaimCountsAsFree) {
    test::ChildProcess holder;
    ASSERT_TRUE(holder.Start("claim_holder", {name_, "4", "0x6000"}));
    ASSERT_EQ(holder.ReadLine(), "claimed");
    ClaimTable table;
    ASSERT_TRUE(table.Open(name_.c_str()));
    EXPECT_TRUE(table.Claimed(4));
    holder.Kill();
    holder.Wait();
    EXPECT_FALSE(table.Claimed(4));
    // And it can be claimed afresh.
    table.Claim(4, 0x7000);
    EXPECT_TRUE(table.Claimed(4));
}

}  // namespace
}  // namespace tavlin::camera
