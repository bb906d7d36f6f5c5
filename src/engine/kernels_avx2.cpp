// The vector kernels for AVX2 (without FMA), 64-bit builds only.

#include "engine/kernels.h"
#if defined(__x86_64__)

#include "engine/kernels_impl.h"

namespace quorvane::simd {

const Kernels& avx2Kernels() {
    static const Kernels kernels{Path::kAvx2, forwardRealImpl<8>, inverseRealImpl<8>,
                                 frameStepImpl<8>, framePairImpl<8>};
    return kernels;
}

} // namespace quorvane::simd
#endif
