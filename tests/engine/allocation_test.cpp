// Processing allocates nothing for any block length; only reserve allocates, a bounded amount.
// The global allocation functions of this binary count every allocation and can be told to
// fail.

#include "allocationcount.h"
#include "engine/duckingprocessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

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

// Every block length, also far longer than the staging and than any length reserved, is
// processed without a single allocation, and gives the bits of the stream processed in 512-sample
// blocks. Allocation is refused throughout, so any attempt would also show in the output.
TEST(DuckingProcessorAllocation, NoBlockLengthAllocates) {
    const std::vector<int32_t> lengths = {1,    7,    256,  511,  0,    512,   1023, 1024,
                                          1025, 4096, 8191, 8192, 8193, 20000, 65536};
    size_t total = 0;
    for (int32_t len : lengths) {
        total += static_cast<size_t>(len);
    }
    for (float rate : {22050.0f, 44100.0f, 96000.0f}) {
        for (int32_t reserved : {0, 512, 100000}) {
            Signal in(total, 1);
            Signal want(total, 2);
            Signal got(total, 3);
            DuckingProcessor reference(rate);
            for (size_t pos = 0; pos < total;) {
                block(reference, in, want, pos,
                      static_cast<int32_t>(std::min<size_t>(512, total - pos)));
            }
            DuckingProcessor p(rate);
            ASSERT_TRUE(p.reserve(reserved));
            size_t pos = 0;
            const allocationcount::Counter count;
            {
                const allocationcount::Refusal refusal;
                for (int32_t len : lengths) {
                    block(p, in, got, pos, len);
                }
            }
            EXPECT_EQ(count.allocations(), 0u) << rate << " " << reserved;
            EXPECT_EQ(std::memcmp(got.ch[0].data(), want.ch[0].data(), total * sizeof(float)), 0);
            EXPECT_EQ(std::memcmp(got.ch[1].data(), want.ch[1].data(), total * sizeof(float)), 0);
        }
    }
}

// reserve is where the memory comes from: the staging grows to the longest block announced,
// never beyond its cap and never shrinking; a failure keeps the staging that was there, and the
// stream goes on with the same bits.
TEST(DuckingProcessorAllocation, ReserveIsBoundedAndSurvivesMissingMemory) {
    constexpr size_t kBothChannels = 2 * sizeof(float); // bytes of staging per sample
    const int32_t least = static_cast<int32_t>(DuckingProcessor::kMinStaging);
    const size_t most = DuckingProcessor::kMaxStaging;
    struct Step {
        int32_t request;
        size_t bytes; // allocated by this call
    };
    const Step steps[] = {
        {0, 0},
        {-3, 0},
        {100, 0},
        {least, 0},
        {4096, 4096 * kBothChannels},
        {100, 0},
        {8193, most * kBothChannels},
        {1 << 28, 0},
        {INT32_MAX, 0},
    };
    DuckingProcessor p(44100.0f);
    for (const Step& step : steps) {
        const allocationcount::Counter count;
        EXPECT_TRUE(p.reserve(step.request));
        EXPECT_EQ(count.bytes(), step.bytes) << step.request;
    }

    const size_t total = 3 * most;
    Signal in(total, 4);
    Signal want(total, 5);
    Signal got(total, 6);
    DuckingProcessor reference(44100.0f);
    for (size_t pos = 0; pos < total;) {
        block(reference, in, want, pos, 512);
    }
    DuckingProcessor refused(44100.0f);
    bool ok = true;
    {
        const allocationcount::Refusal refusal;
        ok = refused.reserve(4096);
    }
    EXPECT_FALSE(ok);
    const allocationcount::Counter count;
    {
        const allocationcount::Refusal refusal;
        for (size_t pos = 0; pos < total;) {
            block(refused, in, got, pos, static_cast<int32_t>(most));
        }
    }
    EXPECT_EQ(count.allocations(), 0u);
    EXPECT_EQ(std::memcmp(got.ch[0].data(), want.ch[0].data(), total * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(got.ch[1].data(), want.ch[1].data(), total * sizeof(float)), 0);
}
