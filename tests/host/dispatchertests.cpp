// Every opcode of the dispatcher and its answer, as the host sees it.

#include "testhost.h"

namespace {

class Dispatcher : public ::testing::Test {
protected:
    TestHost host;
    Instance e{host};
    AEffect* fx() { return e.get(); }
};

const char kUntouched = 0x7F;

} // namespace

TEST_F(Dispatcher, ConstantAnswers) {
    struct Row {
        int32_t opcode;
        intptr_t answer;
    };
    const Row rows[] = {
        {effOpen, 0},
        {effGetProgram, 0},
        {effGetVu, 0},
        {effEditGetRect, 0}, // no place for the answer
        {effEditOpen, 1},    // no parent: a frame without a window
        {effEditClose, 0},
        {effEditIdle, 0},
        {effIdentify, 0x4E764566},
        {effGetChunk, 0},
        {effSetChunk, 0},
        {effProcessEvents, 0},
        {effCanBeAutomated, 1},
        {effString2Parameter, 0},
        {effGetNumProgramCategories, 1},
        {effCopyProgram, 0},
        {effConnectInput, 1},
        {effConnectOutput, 1},
        {effGetInputProperties, 0},
        {effGetOutputProperties, 0},
        {effGetPlugCategory, 1},
        {effGetCurrentPosition, 0},
        {effGetDestinationBuffer, 0},
        {effOfflineNotify, 0},
        {effOfflinePrepare, 0},
        {effOfflineRun, 0},
        {effProcessVarIo, 0},
        {effSetSpeakerArrangement, 0},
        {effSetBypass, 0},
        {effGetVendorVersion, 1000},
        {effVendorSpecific, 0},
        {effGetTailSize, 0},
        {effIdle, 0},
        {effGetIcon, 0},
        {effSetViewPosition, 0},
        {effGetParameterProperties, 0},
        {effKeysRequired, 1},
        {effGetVstVersion, 2300},
        {effEditKeyDown, -1}, // the frame is closed
        {effEditKeyUp, -1},
        {effSetEditKnobMode, 1},
        {effGetMidiProgramName, 0},
        {effGetCurrentMidiProgram, -1},
        {effGetMidiProgramCategory, 0},
        {effHasMidiProgramsChanged, 0},
        {effGetMidiKeyName, 0},
        {effBeginSetProgram, 0},
        {effEndSetProgram, 0},
        {effShellGetNextPlugin, 0},
        {effStartProcess, 0},
        {effStopProcess, 0},
        {effSetPanLaw, 0},
        {effBeginLoadBank, 0},
        {effBeginLoadProgram, 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(dispatch(fx(), row.opcode, 0, 0, nullptr, 0.0f), row.answer)
            << "opcode " << row.opcode;
}

TEST_F(Dispatcher, OpcodesOutsideTheTableAnswerZero) {
    for (int32_t opcode : {16, 17, 18, 20, 21, 77, 78, 100, 1000, -1, -100, INT32_MIN, INT32_MAX})
        EXPECT_EQ(dispatch(fx(), opcode, 1, 1, nullptr, 1.0f), 0) << "opcode " << opcode;
}

TEST_F(Dispatcher, TextAnswers) {
    char text[256] = {};
    EXPECT_EQ(dispatch(fx(), effGetEffectName, 0, 0, text), 1);
    EXPECT_STREQ(text, "Quorvane");
    EXPECT_EQ(dispatch(fx(), effGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Quorvane");
    EXPECT_EQ(dispatch(fx(), effGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Haldermoor");

    std::memset(text, kUntouched, sizeof(text));
    EXPECT_EQ(dispatch(fx(), effGetErrorText, 0, 0, text), 0);
    EXPECT_EQ(text[0], kUntouched);

    for (const char* capability : {"", "bypass", "1in1out", "receiveVstEvents"}) {
        std::strcpy(text, capability);
        EXPECT_EQ(dispatch(fx(), effCanDo, 0, 0, text), 0) << capability;
    }
}

TEST_F(Dispatcher, NullTextPointersAreNeverUsed) {
    for (int32_t opcode :
         {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
          effGetParamName, effGetProgramNameIndexed, effGetEffectName, effGetErrorText,
          effGetVendorString, effGetProductString, effCanDo})
        EXPECT_EQ(dispatch(fx(), opcode, 0, 0, nullptr), 0) << "opcode " << opcode;
}

TEST_F(Dispatcher, SetProgramOnlyInRange) {
    dispatch(fx(), effSetProgram, 0, 15);
    EXPECT_EQ(dispatch(fx(), effGetProgram), 15);
    dispatch(fx(), effSetProgram, 0, 16);
    EXPECT_EQ(dispatch(fx(), effGetProgram), 15);
    dispatch(fx(), effSetProgram, 0, -1);
    EXPECT_EQ(dispatch(fx(), effGetProgram), 15);
    // Values whose low 32 bits would be in range, where the word holds them, and the extremes.
    const intptr_t wide = sizeof(intptr_t) > 4 ? intptr_t(int64_t(1) << 40) : INTPTR_MIN;
    const intptr_t wideOne = sizeof(intptr_t) > 4 ? intptr_t((int64_t(1) << 32) + 1) : INTPTR_MAX;
    for (intptr_t program : {wide, wideOne, INTPTR_MIN, INTPTR_MAX}) {
        dispatch(fx(), effSetProgram, 0, program);
        EXPECT_EQ(dispatch(fx(), effGetProgram), 15) << program;
    }
}

TEST_F(Dispatcher, TotalSamplesComeBackUnchanged) {
    EXPECT_EQ(dispatch(fx(), effSetTotalSampleToProcess, 0, 512), 512);
    EXPECT_EQ(dispatch(fx(), effSetTotalSampleToProcess, 0, -7), -7);
}

TEST_F(Dispatcher, BlockSizeAndSampleRateAreStoredButTheEngineIsNotTold) {
    EXPECT_EQ(dispatch(fx(), effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f), 1);
    EXPECT_EQ(fx()->initialDelay, 2048);
    // The new rate shows in the delay text, which is computed from the stored rate.
    fx()->setParameter(fx(), 0, 1.0f);
    EXPECT_EQ(textOf(fx(), effGetParamDisplay, 0), "  14400");
}

TEST_F(Dispatcher, SampleRateChangeReachesTheDelayText) {
    dispatch(fx(), effSetSampleRate, 0, 0, nullptr, 96000.0f);
    fx()->setParameter(fx(), 0, 0.5f);
    EXPECT_EQ(textOf(fx(), effGetParamDisplay, 0), "  14400");
    EXPECT_EQ(fx()->initialDelay, 2048);
}

TEST_F(Dispatcher, SpeakerArrangementPlacesAreCleared) {
    void* input = &host;
    void* output = &host;
    EXPECT_EQ(
        dispatch(fx(), effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input), &output),
        0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    // A null place is left alone.
    output = &host;
    EXPECT_EQ(dispatch(fx(), effGetSpeakerArrangement, 0, 0, &output), 0);
    EXPECT_EQ(output, nullptr);
}

TEST_F(Dispatcher, GetChunkLeavesTheHostsPointerAlone) {
    void* data = &host;
    EXPECT_EQ(dispatch(fx(), effGetChunk, 0, 0, &data), 0);
    EXPECT_EQ(data, &host);
}

TEST_F(Dispatcher, ResumeSetsTheMeterParametersToOne) {
    fx()->setParameter(fx(), 1, 0.25f);
    fx()->setParameter(fx(), 2, 0.25f);
    fx()->setParameter(fx(), 3, 0.25f);
    dispatch(fx(), effMainsChanged, 0, 0);
    EXPECT_EQ(fx()->getParameter(fx(), 1), 0.25f);
    dispatch(fx(), effMainsChanged, 0, 1);
    for (int32_t index : {1, 2, 3})
        EXPECT_EQ(fx()->getParameter(fx(), index), 1.0f);
}

TEST_F(Dispatcher, HostParameterChangesSendNoRequest) {
    const size_t before = host.requests.size();
    fx()->setParameter(fx(), 0, 0.5f);
    dispatch(fx(), effSetProgram, 0, 3);
    dispatch(fx(), effMainsChanged, 0, 1);
    dispatch(fx(), effSetBlockSize, 0, 4096);
    EXPECT_EQ(host.requests.size(), before);
}

TEST_F(Dispatcher, EditorRequestsReachTheEditor) {
    // the rect is the editor's own, before and after opening; its size is that of the
    // background bitmap, found among the module's resources
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(fx(), effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 202);
    EXPECT_EQ(rect->right, 900);

    // a second open replaces the first frame; the instance ends with the editor still open
    // (the valgrind run of these tests finds what a wrong order would leak)
    EXPECT_EQ(dispatch(fx(), effEditOpen), 1);
    EXPECT_EQ(dispatch(fx(), effEditOpen), 1);
    dispatch(fx(), effEditIdle);
    ERect* again = nullptr;
    EXPECT_EQ(dispatch(fx(), effEditGetRect, 0, 0, &again), 1);
    EXPECT_EQ(again, rect);
    fx()->setParameter(fx(), 0, 0.5f);
    fx()->setParameter(fx(), 2, 1.25f);
    EXPECT_EQ(fx()->getParameter(fx(), 0), 0.5f);
}
