// Which SIMD row tables this build contains, and where they are defined.
#pragma once

#include "kernel_paths.h"

#if !defined(TAVLIN_FORCE_PORTABLE) && defined(__x86_64__) && \
    (defined(__GNUC__) || defined(__clang__))
#define TAVLIN_SIMD_X86 1
#else
#define TAVLIN_SIMD_X86 0
#endif

namespace tavlin::imaging {

#if TAVLIN_SIMD_X86
// Tables for CPUs with AVX2, and with AVX-512 BW and VBMI; callers check the CPU first.
const KernelPaths& Avx2KernelPaths();
const KernelPaths& Avx512KernelPaths();
#endif

}  // namespace tavlin::imaging
