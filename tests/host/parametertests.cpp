// Parameters and programs through the record, as a host reads and writes them.

#include "testhost.h"

#include <cmath>
#include <limits>

namespace {

class Parameters : public ::testing::Test {
protected:
    TestHost host;
    Instance e{host};
    AEffect* fx() { return e.get(); }
    void set(int32_t index, float value) { fx()->setParameter(fx(), index, value); }
    float get(int32_t index) { return fx()->getParameter(fx(), index); }
    std::string display(int32_t index) { return textOf(fx(), effGetParamDisplay, index); }
};

} // namespace

TEST_F(Parameters, NamesAndLabels) {
    const char* names[] = {"Delay",  "RMS level", "Peak level", "Hold level",
                           "Volume", "Mode",      "Resp",       "RMS Mode"};
    const char* labels[] = {"samples", "apples", "apples", "apples", "dB", "", "", ""};
    for (int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(textOf(fx(), effGetParamName, i), names[i]);
        EXPECT_EQ(textOf(fx(), effGetParamLabel, i), labels[i]);
    }
}

TEST_F(Parameters, IndicesOutsideTheTableLeaveTheBufferAlone) {
    for (int32_t index : {-1, 8, 1000}) {
        for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
            EXPECT_EQ(textOf(fx(), opcode, index), std::string(255, '\x7F'));
        set(index, 0.75f);
        EXPECT_EQ(get(index), 0.0f);
    }
    for (int32_t i = 0; i < 8; ++i)
        EXPECT_EQ(get(i), (i >= 1 && i <= 3) ? 1.0f : 0.0f);
}

TEST_F(Parameters, FreshValues) {
    EXPECT_EQ(get(0), 0.0f);
    for (int32_t i : {1, 2, 3})
        EXPECT_EQ(get(i), 1.0f);
    for (int32_t i : {4, 5, 6, 7})
        EXPECT_EQ(get(i), 0.0f);
}

TEST_F(Parameters, DelayDisplayInSamples) {
    EXPECT_EQ(display(0), "      0");
    set(0, 1.0f);
    EXPECT_EQ(display(0), "  13230");
    set(0, 0.5f);
    EXPECT_EQ(display(0), "   6615");
    set(0, 0.0f);
    EXPECT_EQ(display(0), "      0");
}

TEST_F(Parameters, DelayDisplaySaturatesInsteadOfOverflowing) {
    set(0, 1e30f);
    EXPECT_EQ(display(0), "Huge!");
    set(0, -1e30f);
    EXPECT_EQ(display(0), "-2147483");
    set(0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(display(0), "      0");
}

TEST_F(Parameters, VolumeDisplayInDecibels) {
    EXPECT_EQ(display(4), "-oo");
    set(4, -0.5f);
    EXPECT_EQ(display(4), "-oo");
    set(4, 1.0f);
    EXPECT_EQ(display(4), "0.000000");
    set(4, 0.5f);
    EXPECT_EQ(display(4), "-6.02060");
    set(4, 0.1f);
    EXPECT_EQ(display(4), "-20.0000");
    // the logarithm of the float is taken in double precision before it is rounded
    set(4, 0x1.47ae18p-7f); // 0.0100000016
    EXPECT_EQ(display(4), "-39.9999");
    set(4, 0x1.35fddap-2f); // 0.302726179
    EXPECT_EQ(display(4), "-10.3790");
    set(4, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(display(4), "NaN");
}

TEST_F(Parameters, PlainNumbers) {
    const std::pair<float, const char*> cases[] = {
        {0.0f, "0.000000"},        {0.05f, "0.050000"},  {0.5f, "0.500000"},
        {1.0f, "1.000000"},        {12.25f, "12.25000"}, {1234567.0f, "1234567."},
        {12345678.0f, "2345678."}, {-6.5f, "-6.50000"},  {-0.0f, "0.000000"},
        {1e9f, "Huge!"},           {-1e8f, "Huge!"},
    };
    for (auto [value, text] : cases) {
        set(5, value);
        EXPECT_EQ(display(5), text) << value;
        EXPECT_EQ(get(5), value);
    }
    set(7, std::numeric_limits<float>::infinity());
    EXPECT_EQ(display(7), "Huge!");
    set(6, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(display(6), "NaN");
}

TEST_F(Parameters, ValuesAreStoredUnclamped) {
    set(5, 1.5f);
    EXPECT_EQ(get(5), 1.5f);
    set(6, -3.0f);
    EXPECT_EQ(get(6), -3.0f);
}

// ---------------------------------------------------------------------------------------------

TEST_F(Parameters, FreshProgramBank) {
    EXPECT_EQ(dispatch(fx(), effGetProgram), 0);
    EXPECT_EQ(textOf(fx(), effGetProgramName), "Init 1");
    for (int32_t i = 0; i < 16; ++i) {
        char text[256] = {};
        EXPECT_EQ(dispatch(fx(), effGetProgramNameIndexed, i, 0, text), 1);
        EXPECT_STREQ(text, "Init");
    }
    std::string untouched(255, '\x7F');
    for (int32_t index : {16, -1}) {
        char text[256];
        std::memset(text, 0x7F, sizeof(text));
        text[255] = 0;
        EXPECT_EQ(dispatch(fx(), effGetProgramNameIndexed, index, 0, text), 0);
        EXPECT_EQ(std::string(text), untouched);
    }
    dispatch(fx(), effSetProgram, 0, 15);
    EXPECT_EQ(textOf(fx(), effGetProgramName), "Init 16");
}

TEST_F(Parameters, ProgramNames) {
    dispatch(fx(), effSetProgram, 0, 2);
    char name[] = "Low";
    dispatch(fx(), effSetProgramName, 0, 0, name);
    EXPECT_EQ(textOf(fx(), effGetProgramName), "Low");
    EXPECT_EQ(textOf(fx(), effGetProgramNameIndexed, 2), "Low");

    // Only the exact name "Init" gets a number.
    char init3[] = "Init 3";
    dispatch(fx(), effSetProgramName, 0, 0, init3);
    EXPECT_EQ(textOf(fx(), effGetProgramName), "Init 3");
    char lower[] = "init";
    dispatch(fx(), effSetProgramName, 0, 0, lower);
    EXPECT_EQ(textOf(fx(), effGetProgramName), "init");

    // A long name is cut to 23 characters.
    char longName[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    dispatch(fx(), effSetProgramName, 0, 0, longName);
    EXPECT_EQ(textOf(fx(), effGetProgramName), "abcdefghijklmnopqrstuvw");
}

TEST_F(Parameters, EditsStayWithTheirProgram) {
    set(0, 0.25f);
    dispatch(fx(), effSetProgram, 0, 1);
    EXPECT_EQ(get(0), 0.0f);
    dispatch(fx(), effSetProgram, 0, 0);
    EXPECT_EQ(get(0), 0.25f);
}

TEST_F(Parameters, ChangesGoIntoTheCurrentProgram) {
    dispatch(fx(), effSetProgram, 0, 3);
    set(2, 0.75f);
    dispatch(fx(), effSetProgram, 0, 4);
    EXPECT_EQ(get(2), 0.0f);
    dispatch(fx(), effSetProgram, 0, 3);
    EXPECT_EQ(get(2), 0.75f);
    // The meter values a reset wrote went into program 0, not into program 3.
    dispatch(fx(), effSetProgram, 0, 0);
    EXPECT_EQ(get(2), 1.0f);
}
