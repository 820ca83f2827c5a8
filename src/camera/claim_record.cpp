#include "camera/claim_record.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tavlin::camera {
namespace {

uint64_t Load64(std::span<const uint8_t> bytes, size_t offset) {
    uint64_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

void Store64(std::span<uint8_t> bytes, size_t offset, uint64_t value) {
    std::memcpy(bytes.data() + offset, &value, sizeof(value));
}

// Process ids are positive ints on Linux; anything else names nobody here.
bool PlausibleProcessId(uint64_t pid) {
    return pid != 0 && pid <= static_cast<uint64_t>(INT_MAX);
}

}  // namespace

ClaimRecord ReadClaimRecord(std::span<const uint8_t> entry) {
    ClaimRecord record;
    if (entry.size() < kClaimRecordSize) return record;
    record.window = Load64(entry, 0);
    record.owner = Load64(entry, 8);
    record.reserved = Load64(entry, 16);
    if (record.window == 0) return record;

    const auto name = entry.subspan(24, kClaimNameBytes);
    const auto terminator = std::find(name.begin(), name.end(), uint8_t{0});
    const size_t nameLength = static_cast<size_t>(terminator - name.begin());
    const size_t ownLength = std::strlen(kClaimOwnerLibrary);
    const bool ourName =
        nameLength == ownLength && std::memcmp(name.data(), kClaimOwnerLibrary, ownLength) == 0;
    // The stamp only counts behind a terminated name of ours, so a long foreign name is never
    // misread as a start time.
    if (ourName && Load64(entry, kClaimStampOffset) == kClaimStampTag) {
        record.ownerStart = Load64(entry, kClaimStampOffset + 8);
    }
    const bool ours = ourName && record.reserved == 0 && PlausibleProcessId(record.owner);
    record.shape = ours ? ClaimShape::kOurs : ClaimShape::kForeign;
    return record;
}

std::vector<ClaimRecord> ReadClaimTable(std::span<const uint8_t> section, size_t maxDevices) {
    std::vector<ClaimRecord> records;
    if (section.size() <= kClaimTableStart) return records;
    const size_t fit = (section.size() - kClaimTableStart) / kClaimRecordSize;
    const size_t count = std::min(fit, maxDevices);
    records.reserve(count);
    for (size_t n = 0; n < count; ++n) {
        records.push_back(ReadClaimRecord(
            section.subspan(kClaimTableStart + n * kClaimRecordSize, kClaimRecordSize)));
    }
    return records;
}

std::array<uint8_t, kClaimRecordSize> EncodeClaim(uint64_t window, uint64_t owner,
                                                  uint64_t ownerStart) {
    std::array<uint8_t, kClaimRecordSize> entry{};
    Store64(entry, 0, window);
    Store64(entry, 8, owner);
    std::memcpy(entry.data() + 24, kClaimOwnerLibrary, std::strlen(kClaimOwnerLibrary));
    if (ownerStart != 0) {
        Store64(entry, kClaimStampOffset, kClaimStampTag);
        Store64(entry, kClaimStampOffset + 8, ownerStart);
    }
    return entry;
}

bool ClaimBlocks(const ClaimRecord& record, const ProcessProbe& probe) {
    if (record.window == 0) return false;
    if (record.owner == 0) return true;
    if (!PlausibleProcessId(record.owner)) return false;
    const std::optional<uint64_t> start = probe(record.owner);
    if (!start) return false;
    // Either side unknown: the live process may be the owner, so it keeps the claim.
    if (record.ownerStart != 0 && *start != 0 && *start != record.ownerStart) return false;
    return true;
}

}  // namespace tavlin::camera
