// The SIMD row tables: each level's own row functions, plain code where a level adds nothing.
#include "plain_rows.h"
#include "simd_paths.h"
#include "simd_rows.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging {

const KernelPaths& Avx2KernelPaths() {
    static const KernelPaths paths = {
        SimdLevel::Avx2,     avx2::Demosaic8, avx2::Demosaic16, plain::Lut8,           plain::Lut16,
        plain::Brightness16, plain::Sharpen8, plain::Sharpen16, plain::HueSaturation8,
    };
    return paths;
}

const KernelPaths& Avx512KernelPaths() {
    static const KernelPaths paths = [] {
        KernelPaths p = Avx2KernelPaths();
        p.level = SimdLevel::Avx512;
        return p;
    }();
    return paths;
}

}  // namespace tavlin::imaging

#endif
