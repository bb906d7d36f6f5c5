// The vector kernels for SSE2, the baseline of every x86 build.

#include "engine/kernels.h"

#include "engine/vectorframestep.h"

namespace quorvane::simd {

const Kernels& sse2Kernels() {
    return kernelsOf<4>(Path::kSse2);
}

} // namespace quorvane::simd
