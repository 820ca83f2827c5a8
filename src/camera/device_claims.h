// Which process streams from which device. A device that every process on the machine can reach
// (a daemon camera, a USB camera) is claimed in the shared ClaimTable. A camera attached inside
// this process exists for no other process, so its claims are kept in a table of this process
// alone: they neither block nor are blocked by other processes, and are judged by the same rules
// (a claim whose window is 0 does not hold the device, as in the shared table).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "camera/claim_table.h"

namespace tavlin::camera {

enum class ClaimScope { kProcess, kMachine };

// The claims on this process's private devices, shared by all its camera objects.
class ProcessClaimTable {
  public:
    static ProcessClaimTable& Instance();

    bool ClaimIfFree(int32_t deviceNumber, uint64_t window);
    // Clears the entry only when it holds this window.
    void Release(int32_t deviceNumber, uint64_t window);
    bool Claimed(int32_t deviceNumber) const;

  private:
    ProcessClaimTable() = default;

    mutable std::mutex mutex_;
    std::map<int32_t, uint64_t> windows_;  // by device number; window 0 entries are not kept
};

// One camera object's view of both tables. It remembers the claim it took, so the claim is
// released from the table it was filed in even if the device behind the number changed since.
class DeviceClaims {
  public:
    // Opens the shared section (SharedSectionName); false when it cannot be mapped.
    bool Open();
    void Close();

    bool Claimed(int32_t deviceNumber, ClaimScope scope) const;
    // Checked and taken in one step; true when the claim is now this object's.
    bool ClaimIfFree(int32_t deviceNumber, ClaimScope scope, uint64_t window);
    // Gives back the claim this object holds, if any.
    void Release();

  private:
    struct Held {
        int32_t deviceNumber;
        ClaimScope scope;
        uint64_t window;
    };

    ClaimTable shared_;
    mutable std::mutex mutex_;  // guards held_
    std::optional<Held> held_;
};

}  // namespace tavlin::camera
