#include "camera/claim_table.h"

#include <cstring>

#include "platform/process.h"

namespace tavlin::camera {

bool ClaimTable::Open(const char* name) {
    if (!section_.OpenOrCreate(name, kSharedSectionSize)) return false;
    if (section_.Created()) std::memset(section_.View(), 0, kSharedZeroFillBytes);
    return true;
}

ClaimEntry* ClaimTable::Entry(int32_t deviceNumber) const {
    if (section_.View() == nullptr || deviceNumber < 0) return nullptr;
    const size_t offset = kClaimTableOffset + kClaimEntrySize * static_cast<size_t>(deviceNumber);
    if (offset + kClaimEntrySize > section_.Size()) return nullptr;
    return reinterpret_cast<ClaimEntry*>(section_.View() + offset);
}

int ClaimTable::Claim(int32_t deviceNumber, uint64_t window) {
    if (!HasView()) return 0;
    ClaimEntry* entry = Entry(deviceNumber);
    if (entry == nullptr) return 1;
    entry->window = window;
    entry->module = platform::CurrentProcessId();
    entry->reserved = 0;
    std::memset(entry->name, 0, sizeof(entry->name));
    std::memcpy(entry->name, kClaimLibraryName, std::strlen(kClaimLibraryName));
    return 1;
}

int ClaimTable::Release(int32_t deviceNumber, uint64_t window) {
    if (!HasView()) return 0;
    ClaimEntry* entry = Entry(deviceNumber);
    if (entry == nullptr) return 1;
    if (entry->window == window && entry->module == platform::CurrentProcessId() &&
        entry->reserved == 0) {
        entry->window = 0;
        entry->module = 0;
        entry->reserved = 0;
        std::memset(entry->name, 0, sizeof(entry->name));
    }
    return 1;
}

bool ClaimTable::Claimed(int32_t deviceNumber) const {
    const ClaimEntry* entry = Entry(deviceNumber);
    if (entry == nullptr || entry->window == 0) return false;
    if (entry->module != 0 && !platform::ProcessAlive(entry->module)) return false;
    return true;
}

}  // namespace tavlin::camera
