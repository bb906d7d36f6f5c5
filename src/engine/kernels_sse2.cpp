// The vector kernels for SSE2, the baseline of every x86 build.

#include "engine/kernels.h"

#include "engine/kernels_impl.h"

namespace quorvane::simd {

const Kernels& sse2Kernels() {
    static const Kernels kernels{Path::kSse2, forwardRealImpl<4>, inverseRealImpl<4>,
                                 frameStepImpl<4>, framePairImpl<4>};
    return kernels;
}

} // namespace quorvane::simd
