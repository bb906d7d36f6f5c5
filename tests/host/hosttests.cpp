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

// The 32-bit module exports only main; 64-bit hosts may look for VSTPluginMain instead.
const std::set<std::string> kEntries = sizeof(void*) == 4
                                           ? std::set<std::string>{"main"}
                                           : std::set<std::string>{"main", "VSTPluginMain"};

TEST(ModuleEntry, ExportsExactlyTheEntries) {
    ASSERT_NE(Module::get().handle(), nullptr) << Module::path();
    EXPECT_EQ(Module::get().exportedNames(), kEntries);
}

TEST(ModuleEntry, EveryEntryBuildsAnEffect) {
    ASSERT_NE(Module::get().handle(), nullptr) << Module::path();
    for (const std::string& name : kEntries) {
        TestHost host;
        EntryProc entry = Module::get().entry(name.c_str());
        ASSERT_NE(entry, nullptr) << name;
        AEffect* e = entry(TestHost::callback);
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

namespace {

// Where a host of each word size reads the record's fields: the packed 144-byte record with
// 4-byte pointers, and the naturally aligned one with 8-byte pointers and reserved fields.
struct RecordLayout {
    size_t magic, dispatcher, process, setParameter, getParameter, numPrograms, numParams,
        numInputs, numOutputs, flags, resvd1, resvd2, initialDelay, realQualities, offQualities,
        ioRatio, object, user, uniqueID, version, processReplacing, future, size;
};
constexpr RecordLayout kLayout32 = {0,  4,  8,  12, 16, 20, 24, 28, 32, 36, 40, 44,
                                    48, 52, 56, 60, 64, 68, 72, 76, 80, 84, 144};
constexpr RecordLayout kLayout64 = {0,  8,  16, 24, 32, 40,  44,  48,  52,  56,  64, 72,
                                    80, 84, 88, 92, 96, 104, 112, 116, 120, 128, 192};
constexpr RecordLayout kLayout = sizeof(void*) == 4 ? kLayout32 : kLayout64;

} // namespace

TEST(Record, FieldsAsTheHostReadsThem) {
    TestHost host;
    Instance e(host);
    ASSERT_NE(e.get(), nullptr);
    ASSERT_EQ(sizeof(AEffect), kLayout.size);
    const AEffect* r = e.get();
    const RecordLayout& at = kLayout;
    EXPECT_EQ(readAt<int32_t>(r, at.magic), 0x56737450);
    EXPECT_EQ(readAt<void*>(r, at.dispatcher), reinterpret_cast<void*>(r->dispatcher));
    EXPECT_NE(readAt<void*>(r, at.dispatcher), nullptr);
    EXPECT_EQ(readAt<void*>(r, at.process), reinterpret_cast<void*>(r->process));
    EXPECT_NE(readAt<void*>(r, at.process), nullptr);
    EXPECT_EQ(readAt<void*>(r, at.setParameter), reinterpret_cast<void*>(r->setParameter));
    EXPECT_NE(readAt<void*>(r, at.setParameter), nullptr);
    EXPECT_EQ(readAt<void*>(r, at.getParameter), reinterpret_cast<void*>(r->getParameter));
    EXPECT_NE(readAt<void*>(r, at.getParameter), nullptr);
    EXPECT_EQ(readAt<int32_t>(r, at.numPrograms), 16);
    EXPECT_EQ(readAt<int32_t>(r, at.numParams), 8);
    EXPECT_EQ(readAt<int32_t>(r, at.numInputs), 2);
    EXPECT_EQ(readAt<int32_t>(r, at.numOutputs), 2);
    EXPECT_EQ(readAt<int32_t>(r, at.flags), 0x1D);
    EXPECT_EQ(readAt<intptr_t>(r, at.resvd1), 0);
    EXPECT_EQ(readAt<intptr_t>(r, at.resvd2), 0);
    EXPECT_EQ(readAt<int32_t>(r, at.initialDelay), 2048);
    EXPECT_EQ(readAt<int32_t>(r, at.realQualities), 0);
    EXPECT_EQ(readAt<int32_t>(r, at.offQualities), 0);
    EXPECT_EQ(readAt<float>(r, at.ioRatio), 1.0f);
    EXPECT_NE(readAt<void*>(r, at.object), nullptr);
    EXPECT_EQ(readAt<void*>(r, at.user), nullptr);
    EXPECT_EQ(readAt<int32_t>(r, at.uniqueID), 0x5172566E);
    EXPECT_EQ(readAt<int32_t>(r, at.version), 1);
    EXPECT_EQ(readAt<void*>(r, at.processReplacing), reinterpret_cast<void*>(r->processReplacing));
    EXPECT_NE(readAt<void*>(r, at.processReplacing), nullptr);
    for (size_t offset = at.future; offset < at.future + 60; ++offset)
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
