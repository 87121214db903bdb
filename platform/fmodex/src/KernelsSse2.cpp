// The SSE2 kernels: the 32-bit Windows build's and every x86-64 processor's baseline, and WebAssembly SIMD's.
#include "Kernels.h"

#if TW_SIMD_X86 || TW_SIMD_WASM_SSE2
#include "SimdSse2.h"
#include "SincLanesSse2.h"
#define TW_KERNEL_NS Sse2
#define TW_KERNEL_TARGET TW_SSE2_TARGET
#define TW_KERNEL_INLINE TW_SSE2_INLINE
#include "GroupKernel.h"
#include "Interpolation.h"
#include "MixKernelSimd.h"
#include "SincKernel.h"
#endif

namespace SoundEngine {

const KernelSet* Sse2Kernels()
{
#if TW_SIMD_WASM_SSE2
    static const KernelSet l_Set = Sse2::WithGroups(Sse2::WithSinc(Sse2::MakeKernelSet("sse2-wasm")));
    return &l_Set;
#elif TW_SIMD_X86
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("sse2"))
        return nullptr;
    static const KernelSet l_Set = Sse2::WithGroups(Sse2::WithSinc(Sse2::MakeKernelSet("sse2")));
    return &l_Set;
#else
    return nullptr;
#endif
}

}  // namespace SoundEngine
