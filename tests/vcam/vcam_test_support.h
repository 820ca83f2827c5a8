// Test support shared by the virtual camera and device tests: attaching cameras for one test and
// reading their packet traces.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "tavlin/tavlin_vcam.h"

namespace tavlin::testing {

// Attaches cameras (fast pacing) for the scope of a test and detaches every camera afterwards.
class AttachedCameras {
  public:
    explicit AttachedCameras(std::initializer_list<int> indices) {
        for (int index : indices) Attach(index);
    }
    ~AttachedCameras() { TavlinVcam_DetachAll(); }
    AttachedCameras(const AttachedCameras&) = delete;
    AttachedCameras& operator=(const AttachedCameras&) = delete;

    static void Attach(int index) {
        EXPECT_EQ(TavlinVcam_Attach(index), 1);
        EXPECT_EQ(TavlinVcam_SetPacing(index, TAVLIN_VCAM_PACING_FAST), 1);
    }
};

inline std::vector<TavlinVcamTraceEntry> ReadTrace(int index) {
    uint32_t count = 0;
    EXPECT_EQ(TavlinVcam_GetTraceCount(index, &count), 1);
    std::vector<TavlinVcamTraceEntry> trace(count);
    if (count > 0) {
        EXPECT_EQ(TavlinVcam_GetTrace(index, 0, trace.data(), count), int32_t(count));
    }
    return trace;
}

// Only the command packets (pipe 0) that succeeded, as their first bytes.
inline std::vector<std::vector<uint8_t>> CommandPackets(
    const std::vector<TavlinVcamTraceEntry>& trace, size_t bytes = 6) {
    std::vector<std::vector<uint8_t>> packets;
    for (const auto& e : trace) {
        if (e.pipe == 0 && e.succeeded) packets.emplace_back(e.data, e.data + bytes);
    }
    return packets;
}

inline bool RestIsZero(const TavlinVcamTraceEntry& e, size_t from) {
    for (size_t i = from; i < sizeof(e.data); ++i) {
        if (e.data[i] != 0) return false;
    }
    return true;
}

}  // namespace tavlin::testing
