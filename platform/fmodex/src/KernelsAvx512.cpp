// The AVX-512 kernels, for the processors that have its foundation subset (the only one they use).
// Built with -ffp-contract=off (see SimdAvx512.h).
#include "Kernels.h"

#if TW_SIMD_AVX512
// GCC 12's AVX-512 intrinsics fill the lanes they leave undefined from a self-initialised local,
// which its own uninitialised-use warning then reports in every kernel.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "SimdAvx512.h"
#include "SincLanesAvx512.h"
#define TW_KERNEL_NS Avx512
#define TW_KERNEL_TARGET TW_AVX512_TARGET
#define TW_KERNEL_INLINE TW_AVX512_INLINE
#include "Interpolation.h"
#include "MixKernelSimd.h"
#include "SincKernel.h"
#endif

namespace SoundEngine {

const KernelSet* Avx512Kernels()
{
#if TW_SIMD_AVX512
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx512f"))
        return nullptr;
    static const KernelSet l_Set = Avx512::WithSinc(Avx512::MakeKernelSet("avx512"));
    return &l_Set;
#else
    return nullptr;
#endif
}

}  // namespace SoundEngine
