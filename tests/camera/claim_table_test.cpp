// The claim table between real processes, on a private section so the machine's table is safe.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "camera/claim_table.h"
#include "platform/process.h"
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
    EXPECT_EQ(ReadClaimRecord({entry, kClaimRecordSize}).ownerStart,
              platform::ProcessStartTime(getpid()).value());
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

// Writes an entry as another process would have left it.
void PlantClaim(const std::string& name, int device, uint64_t owner, uint64_t start) {
    platform::SharedMemory raw;
    ASSERT_TRUE(raw.OpenOrCreate(name, kSharedSectionSize));
    const auto bytes = EncodeClaim(0x9000, owner, start);
    std::memcpy(raw.View() + kClaimTableStart + kClaimRecordSize * device, bytes.data(),
                bytes.size());
}

TEST_F(ClaimTableTest, AReusedProcessIdDoesNotInheritTheDeadOwnersClaim) {
    ClaimTable table;
    ASSERT_TRUE(table.Open(name_.c_str()));
    test::ChildProcess stranger;
    ASSERT_TRUE(stranger.Start("claim_holder", {name_, "31", "0"}));
    ASSERT_EQ(stranger.ReadLine(), "claimed");
    const uint64_t pid = static_cast<uint64_t>(stranger.Pid());
    const uint64_t start = platform::ProcessStartTime(pid).value();
    ASSERT_NE(start, 0u);

    // The claim's owner had this id but started earlier: the id now names someone else.
    PlantClaim(name_, 5, pid, start - 1);
    EXPECT_FALSE(table.Claimed(5));
    PlantClaim(name_, 5, pid, start);
    EXPECT_TRUE(table.Claimed(5));
    // A claim written without a start time is judged by the id alone.
    PlantClaim(name_, 5, pid, 0);
    EXPECT_TRUE(table.Claimed(5));
    stranger.Send("exit");
    EXPECT_EQ(stranger.Wait(), 0);
    EXPECT_FALSE(table.Claimed(5));
}

TEST_F(ClaimTableTest, AnOwnerThatExitedButIsNotYetReapedHoldsNothing) {
    test::ChildProcess holder;
    ASSERT_TRUE(holder.Start("claim_holder", {name_, "6", "0x6100"}));
    ASSERT_EQ(holder.ReadLine(), "claimed");
    ClaimTable table;
    ASSERT_TRUE(table.Open(name_.c_str()));
    EXPECT_TRUE(table.Claimed(6));
    kill(holder.Pid(), SIGKILL);
    // Until its parent waits, the process is a zombie: kill(pid, 0) still succeeds.
    bool freed = false;
    for (int i = 0; i < 200 && !freed; ++i) {
        freed = !table.Claimed(6);
        if (!freed) usleep(5000);
    }
    EXPECT_TRUE(freed);
    holder.Wait();
}

TEST_F(ClaimTableTest, DamagedEntriesAreJudgedWithoutTouchingTheirNeighbours) {
    ClaimTable table;
    ASSERT_TRUE(table.Open(name_.c_str()));
    platform::SharedMemory raw;
    ASSERT_TRUE(raw.OpenOrCreate(name_, kSharedSectionSize));
    // Every byte of the table set: windows set, owners no process can have.
    std::memset(raw.View() + kClaimTableStart, 0xFF, kSharedSectionSize - kClaimTableStart);
    for (int device = 0; device < 32; ++device) EXPECT_FALSE(table.Claimed(device));
    EXPECT_EQ(table.Claim(3, 0x10), 1);
    EXPECT_TRUE(table.Claimed(3));
    EXPECT_EQ(raw.View()[kClaimTableStart + 4 * kClaimRecordSize], 0xFF);
    EXPECT_EQ(table.Release(3, 0x10), 1);
    EXPECT_FALSE(table.Claimed(3));
    const int last = static_cast<int>((kSharedSectionSize - kClaimTableStart) / kClaimRecordSize);
    EXPECT_FALSE(table.Claimed(last - 1));
    EXPECT_FALSE(table.Claimed(last));  // would end past the section
}

}  // namespace
}  // namespace tavlin::camera
