// The vector kernels for AVX-512F (without FMA), 64-bit builds only.

#include "engine/kernels.h"
#if defined(__x86_64__)

#include "engine/kernels_impl.h"

namespace quorvane::simd {

const Kernels& avx512Kernels() {
    static const Kernels kernels{Path::kAvx512, forwardRealImpl<16>, inverseRealImpl<16>,
                                 frameStepImpl<16>, framePairImpl<16>};
    return kernels;
}

} // namespace quorvane::simd
#endif
