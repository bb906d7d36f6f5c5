#include "allocationhook.h"

#include <cstddef>
#include <new>

namespace {
bool failNext = false;
}

void allocationhook::failNextNothrowArray() {
    failNext = true;
}

// Replaces the library's non-throwing array allocation for the whole test program.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (failNext) {
        failNext = false;
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}
