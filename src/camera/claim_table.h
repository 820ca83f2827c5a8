// The machine-wide table of which process streams from which device number, kept in the shared
// section "KORVEL_USBCAMERA" so every process using the SDK sees the others' claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "camera/claim_record.h"
#include "platform/shared_memory.h"

namespace tavlin::camera {

inline constexpr const char* kSharedSectionName = "/KORVEL_USBCAMERA";
inline constexpr size_t kSharedSectionSize = 0x4C0000;
inline constexpr size_t kSharedZeroFillBytes = 32768;

// The section's name: kSharedSectionName, or $TAVLIN_SHARED_SECTION when that is a valid POSIX
// shared-memory name ("/" and 1..254 further characters, none of them "/"). Only processes that
// use the same name see each other's claims; a test run sets its own, so that it neither meets
// nor disturbs the machine's real table.
std::string SharedSectionName();

// Entry layout (claim_record.h): window (8), module = owner process id (8), 0 (8), library
// name (128, with the owner's start time behind the name's terminator).
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

    // Claims the entry only if it does not block (Claimed false), checked and written under the
    // section's lock so that of processes starting at once exactly one gets it. True also
    // without a view or for an entry outside the section, where there is nothing to hold.
    bool ClaimIfFree(int32_t deviceNumber, uint64_t window);

    // True when the entry is held: its window field is set and its owner is not known to be
    // gone (ClaimBlocks).
    bool Claimed(int32_t deviceNumber) const;

  private:
    // Null for device numbers whose entry would lie outside the section.
    uint8_t* Entry(int32_t deviceNumber) const;
    // Fills the entry for this process, the window last.
    static void Write(uint8_t* entry, uint64_t window);

    platform::SharedMemory section_;
};

}  // namespace tavlin::camera
