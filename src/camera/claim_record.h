// One claim-table entry read as untrusted bytes. Any process on the machine, or a foreign program
// that happens to use the same section name, may have written anything into the section, and
// may be writing while we read, so entries are copied out first and judged from the copy.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace tavlin::camera {

inline constexpr size_t kClaimTableStart = 12832 * 152;  // 1,950,464
inline constexpr size_t kClaimRecordSize = 152;
inline constexpr size_t kClaimNameBytes = 128;
inline constexpr const char* kClaimOwnerLibrary = "TavlinSdk_410QZ_VKE.dll";

// The owner's start time rides in the tail of the name field, behind the name's terminator where
// readers of the zero-terminated name never look: the fixed layout has no other room for it, and
// a process id alone cannot tell the owner from a later process that was given the same id.
inline constexpr size_t kClaimStampOffset = 24 + 112;  // tag (8 bytes), then start time (8)
inline constexpr uint64_t kClaimStampTag = 0x54524154534C5654ULL;  // "TVLSTART" in memory

enum class ClaimShape : uint8_t {
    kFree,     // window 0
    kOurs,     // as this library writes it: third field 0, our name, an owner id that can exist
    kForeign,  // window set, but written by someone else or damaged
};

struct ClaimRecord {
    ClaimShape shape = ClaimShape::kFree;
    uint64_t window = 0;
    uint64_t owner = 0;       // process id named by the entry; 0 when none
    uint64_t reserved = 0;    // the third field
    uint64_t ownerStart = 0;  // owner's start time (clock ticks after boot); 0 when not recorded
};

// Bytes of one entry in, record out. Fewer than kClaimRecordSize bytes is no entry: free.
ClaimRecord ReadClaimRecord(std::span<const uint8_t> entry);

// Every entry wholly inside `section` (a whole section image from byte 0), by device number,
// at most `maxDevices` of them.
std::vector<ClaimRecord> ReadClaimTable(std::span<const uint8_t> section, size_t maxDevices);

// What a claim writer puts into an entry.
std::array<uint8_t, kClaimRecordSize> EncodeClaim(uint64_t window, uint64_t owner,
                                                  uint64_t ownerStart);

// What is known about a process: nullopt when no live process has that id (gone, or a zombie);
// else its start time, 0 when it cannot be read.
using ProcessProbe = std::function<std::optional<uint64_t>(uint64_t pid)>;

// True when the entry keeps others from the device: the window is set and the owner is not known
// to be gone. An owner id that no process can have, a dead owner, and a live process whose start
// time differs from the recorded one (the id was reused) all leave the device free; an entry
// naming no process (owner 0) blocks, since nothing tells it is stale.
bool ClaimBlocks(const ClaimRecord& record, const ProcessProbe& probe);

}  // namespace tavlin::camera
