// The vector kernels for AVX2 (without FMA), 64-bit builds only.

#include "engine/kernels.h"
#if defined(__x86_64__)

#include "engine/vectorframestep.h"

namespace quorvane::simd {

const Kernels& avx2Kernels() {
    return kernelsOf<8>(Path::kAvx2);
}

} // namespace quorvane::simd
#endif
