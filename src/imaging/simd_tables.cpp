// The SIMD row tables: each level's own row functions, plain code where a level adds nothing.
#include "plain_rows.h"
#include "simd_paths.h"
#include "simd_rows.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging {

const KernelPaths& Avx2KernelPaths() {
    static const KernelPaths paths = {
        .level = SimdLevel::Avx2,
        .demosaic8 = avx2::Demosaic8,
        .demosaic16 = avx2::Demosaic16,
        .lut8 = avx2::Lut8,
        .lut16 = avx2::Lut16,
        .line8 = avx2::Line8,
        .line16 = avx2::Line16,
        .brightness8 = avx2::Brightness8,
        .brightness16 = avx2::Brightness16,
        .sharpen8 = avx2::Sharpen8,
        .sharpen16 = avx2::Sharpen16,
        .hueSaturation8 = avx2::HueSaturation8,
        .hueSaturation16 = avx2::HueSaturation16,
    };
    return paths;
}

const KernelPaths& Avx512KernelPaths() {
    static const KernelPaths paths = [] {
        KernelPaths p = Avx2KernelPaths();
        p.level = SimdLevel::Avx512;
        p.demosaic8 = avx512::Demosaic8;
        p.demosaic16 = avx512::Demosaic16;
        p.lut8 = avx512::Lut8;
        p.line8 = nullptr;  // the VBMI table lookup is faster
        p.brightness8 = nullptr;
        p.hueSaturation8 = avx512::HueSaturation8;
        p.hueSaturation16 = avx512::HueSaturation16;
        return p;
    }();
    return paths;
}

}  // namespace tavlin::imaging

#endif
