// The scalar reference kernels, and the choice of the set the mixer uses.
#include "Kernels.h"

#include <cstdlib>
#include <cstring>

#define TW_KERNEL_NS Reference
#define TW_KERNEL_INLINE inline
#include "Interpolation.h"
#include "MixKernel.h"
#include "SincLanesScalar.h"
#define TW_KERNEL_TARGET
#include "SincKernel.h"

namespace SoundEngine {
namespace {

template <int Interp> void FillRow(KernelSet& p_Set)
{
    p_Set.span[Interp][0][0] = &Reference::MixSpanReference<1, Interp, false>;
    p_Set.span[Interp][0][1] = &Reference::MixSpanReference<1, Interp, true>;
    p_Set.span[Interp][1][0] = &Reference::MixSpanReference<2, Interp, false>;
    p_Set.span[Interp][1][1] = &Reference::MixSpanReference<2, Interp, true>;
}

KernelSet MakeReference()
{
    KernelSet l_Set = {"scalar", {}, nullptr, {}};
    FillRow<RESAMPLE_NEAREST>(l_Set);
    FillRow<RESAMPLE_LINEAR>(l_Set);
    FillRow<RESAMPLE_CUBIC>(l_Set);
    FillRow<RESAMPLE_SPLINE>(l_Set);
    return Reference::WithSinc(l_Set);
}

}  // namespace

const KernelSet& ReferenceKernels()
{
    static const KernelSet l_Set = MakeReference();
    return l_Set;
}

const KernelSet& ChooseKernels(const char* p_Wanted)
{
    const KernelSet& l_Fastest = Avx512Kernels() != nullptr ? *Avx512Kernels()
                                 : Avx2Kernels() != nullptr ? *Avx2Kernels()
                                 : Sse2Kernels() != nullptr ? *Sse2Kernels()
                                                            : ReferenceKernels();
    if (p_Wanted == nullptr)
        return l_Fastest;
    for (const KernelSet* l_Set : {&ReferenceKernels(), Sse2Kernels(), Avx2Kernels(), Avx512Kernels()})
        if (l_Set != nullptr && std::strcmp(l_Set->name, p_Wanted) == 0)
            return *l_Set;
    return l_Fastest;
}

const KernelSet& BestKernels()
{
    static const KernelSet& l_Best = ChooseKernels(std::getenv("TUNEWRIGHT_KERNELS"));
    return l_Best;
}

}  // namespace SoundEngine
