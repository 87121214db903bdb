// The AVX2 kernels, for the processors that have it and FMA. Built with -ffp-contract=off (see
// SimdAvx2.h).
#include "Kernels.h"

#if TW_SIMD_X86
#include "SimdAvx2.h"
#include "SincLanesAvx2.h"
#define TW_KERNEL_NS Avx2
#define TW_KERNEL_TARGET TW_AVX2_TARGET
#define TW_KERNEL_INLINE TW_AVX2_INLINE
#include "GroupKernel.h"
#include "Interpolation.h"
#include "MixKernelSimd.h"
#include "SincKernel.h"
#endif

namespace SoundEngine {

const KernelSet* Avx2Kernels()
{
#if TW_SIMD_X86
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma"))
        return nullptr;
    static const KernelSet l_Set = Avx2::WithGroups(Avx2::WithSinc(Avx2::MakeKernelSet("avx2")));
    return &l_Set;
#else
    return nullptr;
#endif
}

}  // namespace SoundEngine
