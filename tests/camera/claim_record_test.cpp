// Claim entries as untrusted bytes: whatever is in the section, reading it stays inside the
// entry and the verdict follows the owner's fate.
#include "camera/claim_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

namespace tavlin::camera {
namespace {

void Put64(std::vector<uint8_t>& bytes, size_t offset, uint64_t value) {
    std::memcpy(bytes.data() + offset, &value, sizeof(value));
}

std::vector<uint8_t> Entry(uint64_t window, uint64_t owner, uint64_t start) {
    const auto encoded = EncodeClaim(window, owner, start);
    return {encoded.begin(), encoded.end()};
}

// Processes as a table: pid → start time (0: unknown); absent pids do not exist.
ProcessProbe Machine(std::map<uint64_t, uint64_t> processes) {
    return [processes](uint64_t pid) -> std::optional<uint64_t> {
        const auto found = processes.find(pid);
        if (found == processes.end()) return std::nullopt;
        return found->second;
    };
}

TEST(ClaimRecordTest, EncodedClaimReadsBackAsOurs) {
    const auto bytes = Entry(0x1234, 4321, 987654);
    const ClaimRecord record = ReadClaimRecord(bytes);
    EXPECT_EQ(record.shape, ClaimShape::kOurs);
    EXPECT_EQ(record.window, 0x1234u);
    EXPECT_EQ(record.owner, 4321u);
    EXPECT_EQ(record.reserved, 0u);
    EXPECT_EQ(record.ownerStart, 987654u);
    // The name is still a plain zero-terminated string for any other reader.
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 24), kClaimOwnerLibrary);
}

TEST(ClaimRecordTest, ShapesOfForeignAndDamagedEntries) {
    EXPECT_EQ(ReadClaimRecord(std::vector<uint8_t>(kClaimRecordSize, 0)).shape, ClaimShape::kFree);
    EXPECT_EQ(ReadClaimRecord(std::vector<uint8_t>(kClaimRecordSize - 1, 0xFF)).shape,
              ClaimShape::kFree);  // too short to be an entry

    auto thirdField = Entry(1, 10, 0);
    Put64(thirdField, 16, 5);
    EXPECT_EQ(ReadClaimRecord(thirdField).shape, ClaimShape::kForeign);

    auto unterminated = Entry(1, 10, 0);
    std::memset(unterminated.data() + 24, 'A', kClaimNameBytes);
    const ClaimRecord noTerminator = ReadClaimRecord(unterminated);
    EXPECT_EQ(noTerminator.shape, ClaimShape::kForeign);
    EXPECT_EQ(noTerminator.ownerStart, 0u);

    // A foreign name that happens to hold our stamp bytes is not believed.
    auto otherName = Entry(1, 10, 77);
    otherName[24] = 'X';
    EXPECT_EQ(ReadClaimRecord(otherName).shape, ClaimShape::kForeign);
    EXPECT_EQ(ReadClaimRecord(otherName).ownerStart, 0u);

    EXPECT_EQ(ReadClaimRecord(Entry(1, uint64_t{1} << 40, 0)).shape, ClaimShape::kForeign);
}

TEST(ClaimRecordTest, OwnerFateDecidesWhetherTheClaimBlocks) {
    const auto machine = Machine({{100, 5000}, {200, 0}});
    EXPECT_TRUE(ClaimBlocks(ReadClaimRecord(Entry(1, 100, 5000)), machine));
    // Same id, another start time: the owner died and its id went to a new process.
    EXPECT_FALSE(ClaimBlocks(ReadClaimRecord(Entry(1, 100, 4999)), machine));
    EXPECT_FALSE(ClaimBlocks(ReadClaimRecord(Entry(1, 101, 5000)), machine));  // gone
    // Unknown on either side: the live process may be the owner.
    EXPECT_TRUE(ClaimBlocks(ReadClaimRecord(Entry(1, 100, 0)), machine));
    EXPECT_TRUE(ClaimBlocks(ReadClaimRecord(Entry(1, 200, 123)), machine));
    // No process named: nothing tells it is stale. An impossible id names nobody.
    EXPECT_TRUE(ClaimBlocks(ReadClaimRecord(Entry(1, 0, 0)), machine));
    EXPECT_FALSE(ClaimBlocks(ReadClaimRecord(Entry(1, uint64_t{1} << 40, 0)), machine));
    EXPECT_FALSE(ClaimBlocks(ReadClaimRecord(Entry(0, 100, 5000)), machine));
}

TEST(ClaimRecordTest, TableReadsOnlyWholeEntriesOfAnySection) {
    std::vector<uint8_t> section(kClaimTableStart + 3 * kClaimRecordSize + 100, 0);
    const auto claim = EncodeClaim(9, 42, 1);
    std::memcpy(section.data() + kClaimTableStart + 2 * kClaimRecordSize, claim.data(),
                claim.size());
    const auto records = ReadClaimTable(section, 32);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].shape, ClaimShape::kFree);
    EXPECT_EQ(records[2].window, 9u);
    EXPECT_EQ(records[2].owner, 42u);
    EXPECT_EQ(ReadClaimTable(section, 2).size(), 2u);
    EXPECT_TRUE(
        ReadClaimTable(std::span<const uint8_t>(section.data(), kClaimTableStart), 32).empty());
    EXPECT_TRUE(ReadClaimTable({}, 32).empty());
}

TEST(ClaimRecordTest, RandomBytesNeverGiveAnOwnerStartWithoutOurName) {
    std::mt19937_64 random(7);
    std::vector<uint8_t> bytes(kClaimRecordSize);
    for (int round = 0; round < 2000; ++round) {
        for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
        if (round % 2 == 0) Put64(bytes, kClaimStampOffset, kClaimStampTag);
        const ClaimRecord record = ReadClaimRecord(bytes);
        if (record.ownerStart != 0) {
            EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 24), kClaimOwnerLibrary);
        }
        if (record.window == 0) {
            EXPECT_EQ(record.shape, ClaimShape::kFree);
        }
    }
}

}  // namespace
}  // namespace tavlin::camera
