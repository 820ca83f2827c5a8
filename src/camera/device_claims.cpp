#include "camera/device_claims.h"

namespace tavlin::camera {

ProcessClaimTable& ProcessClaimTable::Instance() {
    static ProcessClaimTable table;
    return table;
}

bool ProcessClaimTable::ClaimIfFree(int32_t deviceNumber, uint64_t window) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (windows_.contains(deviceNumber)) return false;
    if (window != 0) windows_.emplace(deviceNumber, window);
    return true;
}

void ProcessClaimTable::Release(int32_t deviceNumber, uint64_t window) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto it = windows_.find(deviceNumber);
    if (it != windows_.end() && it->second == window) windows_.erase(it);
}

bool ProcessClaimTable::Claimed(int32_t deviceNumber) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return windows_.contains(deviceNumber);
}

bool DeviceClaims::Open() {
    return shared_.Open(SharedSectionName().c_str());
}

void DeviceClaims::Close() {
    shared_.Close();
}

bool DeviceClaims::Claimed(int32_t deviceNumber, ClaimScope scope) const {
    return scope == ClaimScope::kProcess ? ProcessClaimTable::Instance().Claimed(deviceNumber)
                                         : shared_.Claimed(deviceNumber);
}

bool DeviceClaims::ClaimIfFree(int32_t deviceNumber, ClaimScope scope, uint64_t window) {
    const bool taken = scope == ClaimScope::kProcess
                           ? ProcessClaimTable::Instance().ClaimIfFree(deviceNumber, window)
                           : shared_.ClaimIfFree(deviceNumber, window);
    if (taken) {
        std::lock_guard<std::mutex> guard(mutex_);
        held_ = Held{deviceNumber, scope, window};
    }
    return taken;
}

void DeviceClaims::Release() {
    std::optional<Held> held;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        held.swap(held_);
    }
    if (!held) return;
    if (held->scope == ClaimScope::kProcess) {
        ProcessClaimTable::Instance().Release(held->deviceNumber, held->window);
    } else {
        shared_.Release(held->deviceNumber, held->window);
    }
}

}  // namespace tavlin::camera
