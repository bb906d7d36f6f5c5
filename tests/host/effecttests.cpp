// The effect classes in-process: host requests they send, and what they do without a host.

#include "module/adelayedit.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

struct Request {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

std::vector<Request> requests;
intptr_t answer = 0;

intptr_t VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t value,
                                   void* ptr, float opt) {
    requests.push_back({opcode, index, value, ptr, opt});
    if (opcode == audioMasterGetSampleRate) return 48000;
    return answer;
}

class Effect : public ::testing::Test {
protected:
    void SetUp() override {
        requests.clear();
        answer = 0;
    }
};

} // namespace

TEST_F(Effect, WithoutCallbackEverythingStillWorks) {
    ADelayEdit effect(nullptr);
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getAeffect()->initialDelay, 2048);
    effect.setParameterAutomated(0, 0.5f);
    EXPECT_EQ(effect.getParameter(0), 0.5f);
    EXPECT_FALSE(effect.beginEdit(0));
    EXPECT_FALSE(effect.endEdit(0));
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(1));
}

TEST_F(Effect, HostRateBecomesTheSampleRate) {
    ADelayEdit effect(recordingHost);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].opcode, audioMasterGetSampleRate);
}

TEST_F(Effect, AutomationAppliesFirstThenTellsTheHost) {
    ADelayEdit effect(recordingHost);
    requests.clear();
    effect.setParameterAutomated(5, 0.75f);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].opcode, audioMasterAutomate);
    EXPECT_EQ(requests[0].index, 5);
    EXPECT_EQ(requests[0].opt, 0.75f);
    EXPECT_EQ(effect.getParameter(5), 0.75f);
}

TEST_F(Effect, EditBracketAndIdleRequests) {
    ADelayEdit effect(recordingHost);
    requests.clear();
    answer = 1;
    EXPECT_TRUE(effect.beginEdit(6));
    effect.masterIdle();
    EXPECT_TRUE(effect.endEdit(6));
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(requests[0].index, 6);
    EXPECT_EQ(requests[1].opcode, audioMasterIdle);
    EXPECT_EQ(requests[2].opcode, audioMasterEndEdit);
    EXPECT_EQ(requests[2].index, 6);
}

TEST_F(Effect, WrappersSendTheirArguments) {
    ADelayEdit effect(recordingHost);
    requests.clear();
    effect.sizeWindow(900, 202);
    effect.getPreviousPlug(3);
    effect.offlineStart(nullptr, 4, 5);
    effect.setOutputSamplerate(22050.0f);
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].opcode, audioMasterSizeWindow);
    EXPECT_EQ(requests[0].index, 900);
    EXPECT_EQ(requests[0].value, 202);
    EXPECT_EQ(requests[1].opcode, audioMasterGetPreviousPlug);
    EXPECT_EQ(requests[1].index, 0);
    EXPECT_EQ(requests[2].opcode, audioMasterOfflineStart);
    EXPECT_EQ(requests[2].index, 5);
    EXPECT_EQ(requests[2].value, 4);
    EXPECT_EQ(requests[3].opcode, audioMasterSetOutputSampleRate);
    EXPECT_EQ(requests[3].opt, 22050.0f);
}

TEST_F(Effect, UpdateQueriesKeepTheStoredValueOnABadAnswer) {
    ADelayEdit effect(recordingHost);
    answer = -5;
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    answer = 512;
    EXPECT_EQ(effect.updateBlockSize(), 512);
    EXPECT_EQ(effect.getBlockSize(), 512);
}

TEST_F(Effect, FlagSetters) {
    ADelayEdit effect(nullptr);
    AEffect* record = effect.getAeffect();
    EXPECT_EQ(record->flags,
              effFlagsHasEditor | effFlagsHasVu | effFlagsCanMono | effFlagsCanReplacing);
    effect.noTail(true);
    effect.isSynth(true);
    EXPECT_EQ(record->flags & (effFlagsNoSoundInStop | effFlagsIsSynth),
              effFlagsNoSoundInStop | effFlagsIsSynth);
    effect.noTail(false);
    effect.isSynth(false);
    effect.programsAreChunks(false);
    EXPECT_EQ(record->flags,
              effFlagsHasEditor | effFlagsHasVu | effFlagsCanMono | effFlagsCanReplacing);
}

// An effect that reports a level, as a subclass may.
class MeteredEffect : public ADelayEdit {
public:
    MeteredEffect() : ADelayEdit(nullptr) {}
    float getVu() override { return level; }
    float level = 0.0f;
};

TEST_F(Effect, VuAnswerIsTheLevelTimes32767TruncatedInDoublePrecision) {
    MeteredEffect effect;
    // the last two are 0.99999999907 and 1.99999999814 before truncation; a float product
    // would round them up to 1 and 2
    const std::pair<float, intptr_t> cases[] = {
        {0.0f, 0},     {1.0f, 32767}, {0.5f, 16383},      {-1.0f, -32767},
        {0.25f, 8191}, {2.0f, 65534}, {0x1.0002p-15f, 0}, {0x1.0002p-14f, 1},
    };
    for (auto [level, answer] : cases) {
        effect.level = level;
        EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0.0f), answer) << level;
    }
}

TEST_F(Effect, FrequencyAndTimeTexts) {
    ADelayEdit effect(nullptr);
    char text[32];
    effect.Hz2string(100.0f, text);
    EXPECT_STREQ(text, "441.0000");
    effect.Hz2string(0.0f, text);
    EXPECT_STREQ(text, "0.000000");
    effect.ms2string(441.0f, text);
    EXPECT_STREQ(text, "10.00000");
    effect.long2string(123456789, text);
    EXPECT_STREQ(text, "Huge!");
    effect.long2string(-42, text);
    EXPECT_STREQ(text, "    -42");
}

TEST_F(Effect, AnAbsurdBlockSizeIsAnsweredWithBoundedMemory) {
    AEffect* record = (new ADelayEdit(recordingHost))->getAeffect();
    std::vector<float> in(20000, 0.25f);
    float* io[2] = {in.data(), in.data()};
    record->processReplacing(record, io, io, 4096);
    const size_t heap = mallinfo2().uordblks;
    for (intptr_t size : {intptr_t(1) << 28, intptr_t(INT32_MAX), INTPTR_MAX}) {
        record->dispatcher(record, effSetBlockSize, 0, size, nullptr, 0.0f);
        record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
        record->processReplacing(record, io, io, 20000);
    }
    // two staging buffers of at most 8192 samples each, and nothing else
    EXPECT_LE(mallinfo2().uordblks, heap + 2 * 8192 * sizeof(float));
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
}
