// Caller memory for output arguments, fenced by canary bytes on both sides so a test sees any
// byte an export writes outside the size it was given.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavlin::test {

class GuardedBuffer {
  public:
    static constexpr size_t kFence = 64;
    static constexpr uint8_t kCanary = 0xC3;
    static constexpr uint8_t kFill = 0xA5;

    explicit GuardedBuffer(size_t size) : size_(size), bytes_(size + 2 * kFence, kCanary) {
        std::fill_n(data(), size_, kFill);
    }

    uint8_t* data() { return bytes_.data() + kFence; }
    const uint8_t* data() const { return bytes_.data() + kFence; }
    size_t size() const { return size_; }
    int32_t length() const { return static_cast<int32_t>(size_); }
    template <typename T>
    T* as() {
        return reinterpret_cast<T*>(data());
    }

    // The fences still hold their canaries.
    bool FencesIntact() const {
        auto canary = [](uint8_t b) { return b == kCanary; };
        return std::all_of(bytes_.begin(), bytes_.begin() + kFence, canary) &&
               std::all_of(bytes_.end() - kFence, bytes_.end(), canary);
    }
    // Nothing was written at all, inside or outside.
    bool Untouched() const {
        return FencesIntact() &&
               std::all_of(data(), data() + size_, [](uint8_t b) { return b == kFill; });
    }
    void Refill() { std::fill_n(data(), size_, kFill); }

  private:
    size_t size_;
    std::vector<uint8_t> bytes_;  // vector storage keeps data() aligned for 32-bit fields
};

}  // namespace tavlin::test
