// The vector kernels for AVX-512F (without FMA), 64-bit builds only.

#include "engine/kernels.h"
#if defined(__x86_64__)

#include "engine/vectorframestep.h"

namespace quorvane::simd {

const Kernels& avx512Kernels() {
    return kernelsOf<16>(Path::kAvx512);
}

} // namespace quorvane::simd
#endif
