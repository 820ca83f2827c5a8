// The extension interface: frame accounting and waiting for processed frames.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "api/export_frame.h"
#include "tavlin/tavlin_ext.h"

using tavlin::api::WithCamera;
using tavlin::camera::CTavlin;

namespace {

// A caller's struct may be older (shorter) than ours: only whole fields that fit are written.
template <typename Struct>
void CopyOut(const Struct& filled, Struct* out) {
    const size_t bytes = std::min<size_t>(out->size, sizeof(Struct));
    std::memcpy(static_cast<void*>(out), &filled, bytes);
    out->size = static_cast<uint32_t>(bytes);
}

}  // namespace

extern "C" {

int32_t TavlinExt_GetFrameStats(int32_t h, TavlinExtFrameStats* stats) {
    return WithCamera(h, 0, [&](CTavlin& c) {
        if (stats == nullptr || stats->size < offsetof(TavlinExtFrameStats, sequence)) {
            c.Errors().Report(TAVLIN_ERR_INVALID_ARGUMENT);
            return 0;
        }
        const tavlin::camera::FrameCounts counts = c.FrameStats();
        TavlinExtFrameStats filled{};
        filled.size = stats->size;
        filled.acquiring = counts.acquiring ? 1 : 0;
        filled.delivered = counts.delivered;
        filled.processed = counts.processed;
        filled.skipped = counts.skipped;
        filled.failed = counts.failed;
        filled.sequence = counts.sequence;
        filled.timestampNs = counts.timestampNs;
        CopyOut(filled, stats);
        return 1;
    });
}

int32_t TavlinExt_WaitFrame(int32_t h, uint64_t afterSequence, int32_t timeoutMs, uint8_t* buffer,
                            int32_t length, int32_t rowOrder, TavlinExtFrameInfo* info) {
    return WithCamera(h, 0, [&](CTavlin& c) {
        if (info == nullptr || info->size < sizeof(TavlinExtFrameInfo)) {
            c.Errors().Report(TAVLIN_ERR_INVALID_ARGUMENT);
            return 0;
        }
        tavlin::camera::WaitedFrame waited;
        const int result = c.WaitFrame(afterSequence, timeoutMs, buffer, length, rowOrder, &waited);
        if (waited.sequence != 0) {
            info->width = waited.width;
            info->height = waited.height;
            info->bitsPerPixel = waited.bitsPerPixel;
            info->stride = waited.stride;
            info->imageBytes = static_cast<int32_t>(
                std::min<int64_t>(waited.imageBytes, std::numeric_limits<int32_t>::max()));
            info->sequence = waited.sequence;
            info->timestampNs = waited.timestampNs;
        }
        return result;
    });
}

int32_t TavlinExt_GetFrameTiming(int32_t h, TavlinExtFrameTiming* timing) {
    return WithCamera(h, 0, [&](CTavlin& c) {
        if (timing == nullptr || timing->size < sizeof(TavlinExtFrameTiming)) {
            c.Errors().Report(TAVLIN_ERR_INVALID_ARGUMENT);
            return 0;
        }
        const tavlin::camera::FrameTiming computed = c.Timing();
        timing->lineClocks = computed.lineClocks;
        timing->pixelClockHz = computed.pixelClockHz;
        timing->reserved = 0;
        timing->frameLines = computed.lines;
        timing->framePeriodNs = computed.periodNs;
        return 1;
    });
}

}  // extern "C"
