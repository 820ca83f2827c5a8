// Shared pieces of the fuzz entry points: reading structured values off the input, a private
// scratch folder, and a check that aborts (libFuzzer then saves the input as a crash).
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

namespace tavlin::fuzz {

// An invariant the code under test must keep; a failure is a finding, not an input error.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// Consumes the input front to back; reads past the end give zeros, so every input decodes.
class InputReader {
  public:
    InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ >= size_; }
    size_t Remaining() const { return size_ - at_; }

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    uint32_t Word32() {
        const uint32_t low = Word16();
        return low | (uint32_t{Word16()} << 16);
    }
    // Up to count bytes (fewer at the end of the input).
    std::span<const uint8_t> Bytes(size_t count) {
        const size_t n = std::min(count, Remaining());
        const std::span<const uint8_t> out(data_ + at_, n);
        at_ += n;
        return out;
    }
    std::span<const uint8_t> Rest() { return Bytes(Remaining()); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// A folder of this process's own below TAVLIN_TEST_TMP (or /tmp), made once and removed at exit.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        const char* base = std::getenv("TAVLIN_TEST_TMP");
        std::filesystem::path root = base != nullptr && base[0] != '\0' ? base : "/tmp";
        std::filesystem::create_directories(root);
        std::string pattern = (root / "fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

}  // namespace tavlin::fuzz
