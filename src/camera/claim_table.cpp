#include "camera/claim_table.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/process.h"

namespace tavlin::camera {
namespace {

// Other processes read and write the window field without any lock; it is published last on
// claim and cleared first on release, so a reader that sees it set sees the rest of the claim.
std::atomic_ref<uint64_t> WindowField(uint8_t* entry) {
    return std::atomic_ref<uint64_t>(*reinterpret_cast<uint64_t*>(entry));
}

ClaimRecord Snapshot(uint8_t* entry) {
    std::array<uint8_t, kClaimRecordSize> copy{};
    const uint64_t window = WindowField(entry).load(std::memory_order_acquire);
    std::memcpy(copy.data() + 8, entry + 8, kClaimRecordSize - 8);
    std::memcpy(copy.data(), &window, sizeof(window));
    return ReadClaimRecord(copy);
}

// Holds the section's lock for a scope; without it (section gone, lock refused) the steps run
// unlocked, as they did before any process took the lock.
class SectionGuard {
  public:
    explicit SectionGuard(const platform::SharedMemory& section)
        : section_(section), locked_(section.Lock()) {}
    ~SectionGuard() {
        if (locked_) section_.Unlock();
    }
    SectionGuard(const SectionGuard&) = delete;
    SectionGuard& operator=(const SectionGuard&) = delete;

  private:
    const platform::SharedMemory& section_;
    bool locked_;
};

}  // namespace

std::string SharedSectionName() {
    const char* chosen = std::getenv("TAVLIN_SHARED_SECTION");
    if (chosen == nullptr) return kSharedSectionName;
    const std::string_view name(chosen);
    const bool valid = name.size() >= 2 && name.size() <= 255 && name.front() == '/' &&
                       name.find('/', 1) == std::string_view::npos;
    return valid ? std::string(name) : std::string(kSharedSectionName);
}

bool ClaimTable::Open(const char* name) {
    if (!section_.OpenOrCreate(name, kSharedSectionSize)) return false;
    if (section_.Created()) std::memset(section_.View(), 0, kSharedZeroFillBytes);
    return true;
}

uint8_t* ClaimTable::Entry(int32_t deviceNumber) const {
    if (section_.View() == nullptr || deviceNumber < 0) return nullptr;
    const size_t offset = kClaimTableStart + kClaimRecordSize * static_cast<size_t>(deviceNumber);
    if (offset + kClaimRecordSize > section_.Size()) return nullptr;
    return section_.View() + offset;
}

void ClaimTable::Write(uint8_t* entry, uint64_t window) {
    const uint64_t self = platform::CurrentProcessId();
    const auto bytes = EncodeClaim(window, self, platform::ProcessStartTime(self).value_or(0));
    std::memcpy(entry + 8, bytes.data() + 8, kClaimRecordSize - 8);
    WindowField(entry).store(window, std::memory_order_release);
}

int ClaimTable::Claim(int32_t deviceNumber, uint64_t window) {
    if (!HasView()) return 0;
    uint8_t* entry = Entry(deviceNumber);
    if (entry == nullptr) return 1;
    SectionGuard guard(section_);
    Write(entry, window);
    return 1;
}

bool ClaimTable::ClaimIfFree(int32_t deviceNumber, uint64_t window) {
    uint8_t* entry = Entry(deviceNumber);
    if (entry == nullptr) return true;
    SectionGuard guard(section_);
    if (ClaimBlocks(Snapshot(entry), platform::ProcessStartTime)) return false;
    Write(entry, window);
    return true;
}

int ClaimTable::Release(int32_t deviceNumber, uint64_t window) {
    if (!HasView()) return 0;
    uint8_t* entry = Entry(deviceNumber);
    if (entry == nullptr) return 1;
    SectionGuard guard(section_);
    const ClaimRecord record = Snapshot(entry);
    if (record.window == window && record.owner == platform::CurrentProcessId() &&
        record.reserved == 0) {
        WindowField(entry).store(0, std::memory_order_release);
        std::memset(entry + 8, 0, kClaimRecordSize - 8);
    }
    return 1;
}

bool ClaimTable::Claimed(int32_t deviceNumber) const {
    uint8_t* entry = Entry(deviceNumber);
    if (entry == nullptr) return false;
    // Under the lock too, so a claim being written by another camera object of this process
    // (each has its own descriptor, and flock excludes between them) is never read half-done.
    SectionGuard guard(section_);
    return ClaimBlocks(Snapshot(entry), platform::ProcessStartTime);
}

}  // namespace tavlin::camera
