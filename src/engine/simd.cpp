// Which paths this processor runs, from a check of its instruction sets.

#include "engine/simd.h"

#include "engine/kernels.h"

namespace quorvane::simd {

namespace {

bool supported(Path path) {
    switch (path) {
    case Path::kScalar:
    case Path::kSse2:
        return true;
#if defined(__x86_64__)
    case Path::kAvx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    case Path::kAvx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0;
#endif
    default:
        return false;
    }
}

} // namespace

const char* pathName(Path path) {
    switch (path) {
    case Path::kScalar:
        return "scalar";
    case Path::kSse2:
        return "sse2";
    case Path::kAvx2:
        return "avx2";
    case Path::kAvx512:
        return "avx512";
    }
    return "unknown";
}

std::vector<Path> availablePaths() {
    std::vector<Path> paths;
    for (Path path : {Path::kScalar, Path::kSse2, Path::kAvx2, Path::kAvx512}) {
        if (supported(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

Path bestPath() {
    static const Path best = availablePaths().back();
    return best;
}

const Kernels* kernelsFor(Path path) {
    if (!supported(path)) {
        return nullptr;
    }
    switch (path) {
    case Path::kSse2:
        return &sse2Kernels();
#if defined(__x86_64__)
    case Path::kAvx2:
        return &avx2Kernels();
    case Path::kAvx512:
        return &avx512Kernels();
#endif
    default:
        return nullptr;
    }
}

} // namespace quorvane::simd
