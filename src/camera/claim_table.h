// The machine-wide table of which process streams from which device number, kept in the shared
// section "KORVEL_USBCAMERA" so every process using the SDK sees the others' claims.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/shared_memory.h"

namespace tavlin::camera {

inline constexpr const char* kSharedSectionName = "/KORVEL_USBCAMERA";
inline constexpr size_t kSharedSectionSize = 0x4C0000;
inline constexpr size_t kSharedZeroFillBytes = 32768;
inline constexpr size_t kClaimTableOffset = 12832 * 152;  // 1,950,464
inline constexpr size_t kClaimEntrySize = 152;
inline constexpr size_t kClaimNameSize = 128;
inline constexpr const char* kClaimLibraryName = "TavlinSdk_410QZ_VKE.dll";

// Entry layout: window (8), module = owner process id (8), reserved 0 (8), library name (128).
struct ClaimEntry {
    uint64_t window;
    uint64_t module;
    uint64_t reserved;
    char name[kClaimNameSize];
};
static_assert(sizeof(ClaimEntry) == kClaimEntrySize);

class ClaimTable {
  public:
    // Opens or creates the section; the creator zero-fills its first 32 KiB. False: no view.
    // Tests pass a private name so they never touch the machine's real table.
    bool Open(const char* name = kSharedSectionName);
    void Close() { section_.Close(); }
    bool HasView() const { return section_.View() != nullptr; }

    // Both give 0 without a view, else 1. Release only clears an entry this process made with
    // the same window.
    int Claim(int32_t deviceNumber, uint64_t window);
    int Release(int32_t deviceNumber, uint64_t window);

    // True when the entry is held: its window field is set and, if the claim names
    // a process, that process is still alive (a dead owner's claim counts as free).
    bool Claimed(int32_t deviceNumber) const;

  private:
    // Null for device numbers whose entry would lie outside the section.
    ClaimEntry* Entry(int32_t deviceNumber) const;

    platform::SharedMemory section_;
};

}  // namespace tavlin::camera
