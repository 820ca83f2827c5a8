// The shared-section claim table read as untrusted input. Any process, or a foreign program using
// the same section name, may have written anything there.
//   Byte 0 limits the devices read; the rest is laid at the table's start of a section image,
//   which must be read entry by entry without reading past it, each entry judged consistently.
//   The rest is also taken as (device number, entry bytes) pairs written into a live private
//   section: the table must judge each as the pure reader does, claim exactly the entries that
//   do not block, leave blocking ones untouched, and release its own claims.
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "camera/claim_record.h"
#include "camera/claim_table.h"
#include "fuzz_support.h"
#include "platform/process.h"
#include "platform/shared_memory.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVLIN_FUZZ_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(TAVLIN_FUZZ_ASAN)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace {

namespace camera = tavlin::camera;
using tavlin::fuzz::InputReader;

constexpr size_t kEntriesInSection =
    (camera::kSharedSectionSize - camera::kClaimTableStart) / camera::kClaimRecordSize;

void CheckRecord(const camera::ClaimRecord& record, std::span<const uint8_t> bytes) {
    uint64_t fields[3];
    std::memcpy(fields, bytes.data(), sizeof fields);
    FUZZ_CHECK(record.window == fields[0]);
    if (record.window == 0) {
        FUZZ_CHECK(record.shape == camera::ClaimShape::kFree && record.ownerStart == 0);
        return;
    }
    FUZZ_CHECK(record.owner == fields[1] && record.reserved == fields[2]);
    const std::string_view name(reinterpret_cast<const char*>(bytes.data() + 24),
                                camera::kClaimNameBytes);
    const bool ourName = name.substr(0, name.find('\0')) == camera::kClaimOwnerLibrary;
    if (record.shape == camera::ClaimShape::kOurs) {
        FUZZ_CHECK(ourName && record.reserved == 0 && record.owner != 0);
    }
    // A start time is only ever taken from behind our own terminated name.
    if (record.ownerStart != 0) FUZZ_CHECK(ourName);
}

// One buffer for every image (two megabytes of zeros per input would dominate the run); what
// lies beyond the image is poisoned, so a read past its end is still an ASan report.
std::span<const uint8_t> SectionImage(std::span<const uint8_t> table) {
    static std::vector<uint8_t> buffer(camera::kClaimTableStart + (1u << 20));
    const size_t tableBytes = std::min(table.size(), buffer.size() - camera::kClaimTableStart);
    const size_t end = camera::kClaimTableStart + tableBytes;
    uint8_t* const tail = buffer.data() + camera::kClaimTableStart;
    ASAN_UNPOISON_MEMORY_REGION(tail, buffer.size() - camera::kClaimTableStart);
    std::copy_n(table.begin(), tableBytes, tail);
    ASAN_POISON_MEMORY_REGION(buffer.data() + end, buffer.size() - end);
    return {buffer.data(), end};
}

void ReadSectionImage(size_t maxDevices, std::span<const uint8_t> table) {
    const auto image = SectionImage(table);
    table = image.subspan(camera::kClaimTableStart);
    const auto records = camera::ReadClaimTable(image, maxDevices);
    FUZZ_CHECK(records.size() == std::min(table.size() / camera::kClaimRecordSize, maxDevices));
    for (size_t n = 0; n < records.size(); ++n) {
        CheckRecord(records[n], table.subspan(n * camera::kClaimRecordSize));
    }
}

// The table under test and a second view of the same private section to write entries with.
struct LiveSection {
    LiveSection() {
        const std::string name = "/tavlin_fuzz_claims_" + std::to_string(::getpid());
        ::shm_unlink(name.c_str());
        FUZZ_CHECK(table.Open(name.c_str()));
        FUZZ_CHECK(writer.OpenOrCreate(name, camera::kSharedSectionSize));
        ::shm_unlink(name.c_str());  // the mappings stay; nothing is left behind
    }
    uint8_t* Entry(size_t device) const {
        return writer.View() + camera::kClaimTableStart + device * camera::kClaimRecordSize;
    }

    camera::ClaimTable table;
    tavlin::platform::SharedMemory writer;
};

void ClaimLive(InputReader& input) {
    static LiveSection section;
    constexpr uint64_t kWindow = 0x5A5A0001;
    while (!input.Empty()) {
        const uint16_t device = input.Word16();
        std::array<uint8_t, camera::kClaimRecordSize> bytes{};
        const auto given = input.Bytes(bytes.size());
        std::copy(given.begin(), given.end(), bytes.begin());
        auto& table = section.table;
        if (device >= kEntriesInSection) {  // no entry: nothing to hold
            FUZZ_CHECK(!table.Claimed(device));
            FUZZ_CHECK(table.ClaimIfFree(device, kWindow));
            continue;
        }
        uint8_t* entry = section.Entry(device);
        std::memcpy(entry, bytes.data(), bytes.size());
        const bool blocks =
            camera::ClaimBlocks(camera::ReadClaimRecord(bytes), tavlin::platform::ProcessStartTime);
        FUZZ_CHECK(table.Claimed(device) == blocks);
        if (blocks) {
            FUZZ_CHECK(!table.ClaimIfFree(device, kWindow));
            FUZZ_CHECK(std::memcmp(entry, bytes.data(), bytes.size()) == 0);
            // Release leaves another owner's claim alone.
            table.Release(device, kWindow);
            FUZZ_CHECK(std::memcmp(entry, bytes.data(), bytes.size()) == 0);
            continue;
        }
        FUZZ_CHECK(table.ClaimIfFree(device, kWindow));
        const auto mine = camera::ReadClaimRecord(std::span<const uint8_t>(entry, bytes.size()));
        FUZZ_CHECK(mine.shape == camera::ClaimShape::kOurs && mine.window == kWindow);
        FUZZ_CHECK(mine.owner == tavlin::platform::CurrentProcessId());
        FUZZ_CHECK(table.Claimed(device));
        table.Release(device, kWindow);
        FUZZ_CHECK(!table.Claimed(device));
        std::memset(entry, 0, camera::kClaimRecordSize);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    const uint8_t limit = input.Byte();
    const size_t maxDevices = limit == 0xFF ? SIZE_MAX : limit;
    InputReader rest(data + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
    ReadSectionImage(maxDevices, rest.Rest());
    ClaimLive(input);
    return 0;
}
