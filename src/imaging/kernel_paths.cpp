#include "kernel_paths.h"

#include <atomic>
#include <initializer_list>

#include "plain_rows.h"
#include "simd_paths.h"

namespace tavlin::imaging {
namespace {

const KernelPaths kPortablePaths = {
    .level = SimdLevel::Portable,
    .demosaic8 = plain::Demosaic8,
    .demosaic16 = plain::Demosaic16,
    .lut8 = plain::Lut8,
    .lut16 = plain::Lut16,
    .brightness8 = nullptr,
    .brightness16 = plain::Brightness16,
    .sharpen8 = plain::Sharpen8,
    .sharpen16 = plain::Sharpen16,
    .hueSaturation8 = plain::HueSaturation8,
    .hueSaturation16 = plain::HueSaturation16,
};

bool CpuHas(SimdLevel level) {
#if TAVLIN_SIMD_X86
    switch (level) {
        case SimdLevel::Portable:
            return true;
        case SimdLevel::Avx2:
            return __builtin_cpu_supports("avx2");
        case SimdLevel::Avx512:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vbmi");
    }
    return false;
#else
    return level == SimdLevel::Portable;
#endif
}

std::atomic<const KernelPaths*>& ActiveSlot() {
    static std::atomic<const KernelPaths*> active{KernelPathsFor(DefaultSimdLevel())};
    return active;
}

}  // namespace

const KernelPaths* KernelPathsFor(SimdLevel level) {
    if (!CpuHas(level)) return nullptr;
#if TAVLIN_SIMD_X86
    if (level == SimdLevel::Avx2) return &Avx2KernelPaths();
    if (level == SimdLevel::Avx512) return &Avx512KernelPaths();
#endif
    return level == SimdLevel::Portable ? &kPortablePaths : nullptr;
}

SimdLevel DefaultSimdLevel() {
    for (SimdLevel level : {SimdLevel::Avx512, SimdLevel::Avx2}) {
        if (KernelPathsFor(level) != nullptr) return level;
    }
    return SimdLevel::Portable;
}

const KernelPaths& ActiveKernelPaths() {
    return *ActiveSlot().load(std::memory_order_acquire);
}

bool UseSimdLevel(SimdLevel level) {
    const KernelPaths* paths = KernelPathsFor(level);
    if (paths == nullptr) return false;
    ActiveSlot().store(paths, std::memory_order_release);
    return true;
}

const char* SimdLevelName(SimdLevel level) {
    switch (level) {
        case SimdLevel::Portable:
            return "portable";
        case SimdLevel::Avx2:
            return "avx2";
        case SimdLevel::Avx512:
            return "avx512";
    }
    return "unknown";
}

}  // namespace tavlin::imaging
