// Steady-state processing allocates nothing, and a failed allocation for a longer block gives a
// silent block. The global allocation functions of this binary count every allocation and can
// be told to fail.

#include "engine/duckingprocessor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

// The replacements below pair malloc with free; the compiler cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

size_t gAllocations = 0;
bool gRefuse = false;

void* allocate(size_t size) {
    ++gAllocations;
    if (gRefuse) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

void* operator new(size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}

using quorvane::DuckingProcessor;

namespace {

struct Signal {
    std::vector<float> ch[2];
    explicit Signal(size_t n, uint32_t seed) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        for (auto& c : ch) {
            c.resize(n);
            for (float& v : c) {
                v = dist(rng);
            }
        }
    }
};

// Processes blocks of the given length from the signal into out, starting at pos.
void block(DuckingProcessor& p, Signal& in, Signal& out, size_t& pos, int32_t len) {
    const float* ins[2] = {in.ch[0].data() + pos, in.ch[1].data() + pos};
    float* outs[2] = {out.ch[0].data() + pos, out.ch[1].data() + pos};
    p.process(ins, outs, len);
    pos += static_cast<size_t>(len);
}

} // namespace

TEST(DuckingProcessorAllocation, SteadyStateProcessingAllocatesNothing) {
    for (float rate : {22050.0f, 44100.0f, 96000.0f}) {
        DuckingProcessor p(rate);
        Signal in(200000, 1);
        Signal out(200000, 2);
        size_t pos = 0;
        block(p, in, out, pos, 512); // the first block of this length may size the staging

        gAllocations = 0;
        for (int i = 0; i < 100; ++i) {
            block(p, in, out, pos, 512);
        }
        for (int32_t len : {1, 7, 256, 511, 0, -1, 300}) {
            block(p, in, out, pos, len < 0 ? 0 : len);
        }
        EXPECT_EQ(gAllocations, 0u) << rate;
    }
}

TEST(DuckingProcessorAllocation, ReservedBlockSizeNeverAllocatesOnTheAudioThread) {
    DuckingProcessor p(44100.0f);
    ASSERT_TRUE(p.reserve(4096));
    Signal in(100000, 3);
    Signal out(100000, 4);
    size_t pos = 0;
    gAllocations = 0;
    block(p, in, out, pos, 4096);
    block(p, in, out, pos, 1000);
    block(p, in, out, pos, 4096);
    p.reset();
    block(p, in, out, pos, 4000);
    EXPECT_EQ(gAllocations, 0u);
}

TEST(DuckingProcessorAllocation, ReserveReportsMissingMemory) {
    DuckingProcessor p(44100.0f);
    gRefuse = true;
    const bool ok = p.reserve(1 << 20);
    gRefuse = false;
    EXPECT_FALSE(ok);
    EXPECT_TRUE(p.reserve(1024));
}

TEST(DuckingProcessorAllocation, BlockWithoutMemoryIsSilentAndTheStreamStaysInTime) {
    const float rate = 44100.0f;
    Signal in(40000, 5);
    Signal want(40000, 6);
    Signal got(40000, 7);
    DuckingProcessor reference(rate);
    DuckingProcessor p(rate);
    size_t a = 0;
    size_t b = 0;
    block(reference, in, want, a, 1000);
    block(p, in, got, b, 1000);

    // A longer block arrives and no memory can be had: it comes out silent.
    block(reference, in, want, a, 5000);
    gRefuse = true;
    block(p, in, got, b, 5000);
    gRefuse = false;
    for (size_t t = 1000; t < 6000; ++t) {
        ASSERT_EQ(got.ch[0][t], 0.0f) << t;
        ASSERT_EQ(got.ch[1][t], 0.0f) << t;
    }

    // The input was taken in all the same, so what follows is exactly the undisturbed stream.
    while (a + 3000 <= 40000) {
        block(reference, in, want, a, 3000);
        block(p, in, got, b, 3000);
    }
    EXPECT_EQ(
        std::memcmp(got.ch[0].data() + 6000, want.ch[0].data() + 6000, (a - 6000) * sizeof(float)),
        0);
    EXPECT_EQ(
        std::memcmp(got.ch[1].data() + 6000, want.ch[1].data() + 6000, (a - 6000) * sizeof(float)),
        0);
}
