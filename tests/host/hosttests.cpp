// The module as a host loads it: entry, record bytes, latency, exports, audio through the record.

#include "testhost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace {

template <typename T> T readAt(const AEffect* e, size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(e) + offset, sizeof(T));
    return value;
}

} // namespace

TEST(ModuleEntry, ExportsExactlyMainAndVstPluginMain) {
    ASSERT_NE(Module::get().handle(), nullptr) << QUORVANE_MODULE;
    EXPECT_EQ(Module::get().exportedNames(), (std::set<std::string>{"main", "VSTPluginMain"}));
}

TEST(ModuleEntry, BothEntriesBuildAnEffect) {
    ASSERT_NE(Module::get().handle(), nullptr) << QUORVANE_MODULE;
    for (const char* name : {"main", "VSTPluginMain"}) {
        TestHost host;
        AEffect* e = Module::get().entry(name)(TestHost::callback);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_EQ(e->magic, kEffectMagic);
        EXPECT_EQ(dispatch(e, effClose), 1);
    }
}

TEST(ModuleEntry, VersionAnswerZeroGivesNullAndNoFurtherRequest) {
    TestHost host;
    host.versionAnswer = 0;
    EXPECT_EQ(Module::get().create(host), nullptr);
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(host.requests[0].opcode, audioMasterVersion);
    EXPECT_FALSE(host.requests[0].fromEffect);
}

TEST(ModuleEntry, NullCallbackGivesNull) {
    EXPECT_EQ(Module::get().entry("main")(nullptr), nullptr);
}

TEST(ModuleEntry, AsksForVersionThenSampleRate) {
    TestHost host;
    Instance e(host);
    ASSERT_NE(e.get(), nullptr);
    ASSERT_EQ(host.requests.size(), 2u);
    EXPECT_EQ(host.requests[0].opcode, audioMasterVersion);
    EXPECT_FALSE(host.requests[0].fromEffect);
    EXPECT_EQ(host.requests[1].opcode, audioMasterGetSampleRate);
    EXPECT_TRUE(host.requests[1].fromEffect);
}

TEST(Record, FieldsAsTheHostReadsThem) {
    TestHost host;
    Instance e(host);
    ASSERT_NE(e.get(), nullptr);
    const AEffect* r = e.get();
    EXPECT_EQ(readAt<int32_t>(r, 0), 0x56737450);
    EXPECT_EQ(readAt<void*>(r, 8), reinterpret_cast<void*>(r->dispatcher));
    EXPECT_NE(readAt<void*>(r, 8), nullptr);
    EXPECT_NE(readAt<void*>(r, 16), nullptr);
    EXPECT_NE(readAt<void*>(r, 24), nullptr);
    EXPECT_NE(readAt<void*>(r, 32), nullptr);
    EXPECT_EQ(readAt<int32_t>(r, 40), 16);
    EXPECT_EQ(readAt<int32_t>(r, 44), 8);
    EXPECT_EQ(readAt<int32_t>(r, 48), 2);
    EXPECT_EQ(readAt<int32_t>(r, 52), 2);
    EXPECT_EQ(readAt<int32_t>(r, 56), 0x1D);
    EXPECT_EQ(readAt<intptr_t>(r, 64), 0);
    EXPECT_EQ(readAt<intptr_t>(r, 72), 0);
    EXPECT_EQ(readAt<int32_t>(r, 80), 2048);
    EXPECT_EQ(readAt<int32_t>(r, 84), 0);
    EXPECT_EQ(readAt<int32_t>(r, 88), 0);
    EXPECT_EQ(readAt<float>(r, 92), 1.0f);
    EXPECT_NE(readAt<void*>(r, 96), nullptr);
    EXPECT_EQ(readAt<void*>(r, 104), nullptr);
    EXPECT_EQ(readAt<int32_t>(r, 112), 0x5172566E);
    EXPECT_EQ(readAt<int32_t>(r, 116), 1);
    EXPECT_EQ(readAt<void*>(r, 120), reinterpret_cast<void*>(r->processReplacing));
    EXPECT_NE(readAt<void*>(r, 120), nullptr);
    for (size_t offset = 128; offset < sizeof(AEffect); ++offset)
        EXPECT_EQ(readAt<unsigned char>(r, offset), 0) << "future byte " << offset;
}

TEST(Record, FrameLengthAndLatencyFollowTheHostRate) {
    const std::pair<intptr_t, int32_t> cases[] = {
        {22050, 1024}, {27999, 1024}, {28000, 2048}, {44100, 2048}, {48000, 2048},
        {60000, 2048}, {60001, 4096}, {96000, 4096}, {0, 2048},     {-1, 2048},
    };
    for (auto [rate, frame] : cases) {
        TestHost host;
        host.sampleRateAnswer = rate;
        Instance e(host);
        ASSERT_NE(e.get(), nullptr);
        EXPECT_EQ(e->initialDelay, frame) << "rate " << rate;
    }
}

TEST(Record, LaterRateChangesLeaveTheLatency) {
    TestHost host;
    Instance e(host);
    dispatch(e.get(), effSetSampleRate, 0, 0, nullptr, 96000.0f);
    dispatch(e.get(), effSetBlockSizeAndSampleRate, 0, 256, nullptr, 22050.0f);
    EXPECT_EQ(e->initialDelay, 2048);
}

// ---------------------------------------------------------------------------------------------
// Audio through the record's entries.

namespace {

struct Block {
    std::vector<float> in0, in1, out0, out1;
    explicit Block(size_t n) : in0(n), in1(n), out0(n, 99.0f), out1(n, 99.0f) {}
    void run(AEffect* e, bool replacing) {
        float* inputs[2] = {in0.data(), in1.data()};
        float* outputs[2] = {out0.data(), out1.data()};
        auto entry = replacing ? e->processReplacing : e->process;
        entry(e, inputs, outputs, static_cast<int32_t>(in0.size()));
    }
};

} // namespace

TEST(Audio, KeyComesOutDelayedByTheLatencyThroughBothEntries) {
    for (bool replacing : {true, false}) {
        TestHost host;
        Instance e(host);
        const int32_t n = e->initialDelay;
        Block block(3 * n);
        for (size_t i = 0; i < block.in0.size(); ++i)
            block.in0[i] = std::sin(0.01f * static_cast<float>(i));
        block.run(e.get(), replacing);
        for (int32_t i = 0; i < 256; ++i)
            EXPECT_EQ(block.out0[i], 0.0f) << i;
        for (size_t i = n; i < block.out0.size(); ++i)
            ASSERT_NEAR(block.out0[i], block.in0[i - n], 1e-5f) << i;
        // Channel 1 was silent and stays silent.
        for (float v : block.out1)
            ASSERT_EQ(v, 0.0f);
    }
}

TEST(Audio, SuspendAndResumeKeepTheTail) {
    TestHost host;
    Instance e(host);
    const int32_t n = e->initialDelay;
    Block first(n);
    for (auto& v : first.in0)
        v = 0.5f;
    first.run(e.get(), true);
    dispatch(e.get(), effMainsChanged, 0, 0);
    dispatch(e.get(), effMainsChanged, 0, 1);
    Block second(n);
    second.run(e.get(), true);
    // The key that went in before the reset still comes out after it.
    float peak = 0.0f;
    for (float v : second.out0)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.25f);
}
