#include "allocationcount.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The replacements below pair malloc with free; the compiler cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

// Atomic so that threads the code under test starts are counted without a race.
std::atomic<std::size_t> gAllocations{0};
std::atomic<std::size_t> gBytes{0};
std::atomic<bool> gRefuse{false};
std::atomic<bool> gFailNextNothrowArray{false};

void* allocate(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    gBytes.fetch_add(size, std::memory_order_relaxed);
    if (gRefuse.load(std::memory_order_relaxed)) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

namespace allocationcount {

Counter::Counter()
    : allocations_(gAllocations.load(std::memory_order_relaxed)),
      bytes_(gBytes.load(std::memory_order_relaxed)) {}

std::size_t Counter::allocations() const {
    return gAllocations.load(std::memory_order_relaxed) - allocations_;
}

std::size_t Counter::bytes() const {
    return gBytes.load(std::memory_order_relaxed) - bytes_;
}

Refusal::Refusal() {
    gRefuse.store(true, std::memory_order_relaxed);
}

Refusal::~Refusal() {
    gRefuse.store(false, std::memory_order_relaxed);
}

void failNextNothrowArray() {
    gFailNextNothrowArray.store(true, std::memory_order_relaxed);
}

} // namespace allocationcount

void* operator new(std::size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (gFailNextNothrowArray.exchange(false, std::memory_order_relaxed)) {
        return nullptr;
    }
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
