// The plug-in as hosts really call it: audio, automation and the editor on different threads,
// block sizes announced while audio runs. These tests also run under ThreadSanitizer (make tsan),
// which must report no data race.

#include "editortest.h"

#include "effect/parameterindex.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <random>
#include <thread>

namespace editortest {
namespace {

using Threads = EditorTest;

// A stereo stream and the block lengths it is cut into, beyond the staging's largest size too.
struct Stream {
    std::vector<float> in[2];
    std::vector<float> out[2];
    std::vector<int32_t> blocks;

    Stream(size_t length, uint32_t seed) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
        std::uniform_int_distribution<int32_t> size(1, 12000);
        for (int ch = 0; ch < 2; ++ch) {
            in[ch].resize(length);
            out[ch].assign(length, 0.0f);
            for (float& v : in[ch])
                v = sample(rng);
        }
        for (size_t done = 0; done < length;) {
            const size_t n = std::min<size_t>(static_cast<size_t>(size(rng)), length - done);
            blocks.push_back(static_cast<int32_t>(n));
            done += n;
        }
    }
    // Runs every block through e's processReplacing; each block is processed in place.
    void play(AEffect* e) {
        std::memcpy(out[0].data(), in[0].data(), in[0].size() * sizeof(float));
        std::memcpy(out[1].data(), in[1].data(), in[1].size() * sizeof(float));
        size_t pos = 0;
        for (int32_t n : blocks) {
            float* io[2] = {out[0].data() + pos, out[1].data() + pos};
            e->processReplacing(e, io, io, n);
            pos += static_cast<size_t>(n);
        }
    }
    // The stream as an instance of its own plays it, with nothing else going on.
    void playAlone() {
        AEffect* alone = createEffectInstance(recordingHost);
        ASSERT_NE(alone, nullptr);
        play(alone);
        alone->dispatcher(alone, effClose, 0, 0, nullptr, 0.0f);
    }
    bool sameAs(const Stream& other) const {
        return out[0] == other.out[0] && out[1] == other.out[1];
    }
};

TEST_F(Threads, ChangesFromAnotherThreadReachTheControlsAtTheNextIdle) {
    openEditor();
    std::thread automation([&] {
        set(kRmsLevel, 0.3f);   // channel 0, level 0.6
        set(kRmsLevel, 1.4f);   // channel 1, level 0.8: both readings arrive before one idle
        set(kPeakLevel, 1.25f); // channel 1, level 0.5
        set(kDelay, 0.25f);
        set(kResp, 1.0f);
    });
    automation.join();

    // the effect has every value, the controls are untouched until the editor's thread idles
    EXPECT_EQ(get(kDelay), 0.25f);
    EXPECT_EQ(view<CControl>(kSliderView)->getValue(), 0.0f);
    EXPECT_EQ(view<CControl>(kRespView)->getValue(), 0.0f);
    EXPECT_EQ(view<CControl>(kRmsView0)->getValue(), 0.0f);
    EXPECT_EQ(view<CControl>(kRmsView1)->getValue(), 0.0f);
    for (int i = 0; i < kViewCount; ++i)
        EXPECT_FALSE(frame()->getView(i)->isDirty()) << i;

    idle();
    EXPECT_EQ(view<CControl>(kSliderView)->getValue(), 0.25f);
    EXPECT_EQ(view<CControl>(kDisplayView)->getValue(), 0.25f);
    EXPECT_EQ(view<CControl>(kRespView)->getValue(), 1.0f);
    EXPECT_EQ(view<CControl>(kRmsView0)->getValue(), (0.3f - 0.0f) * 2.0f);
    EXPECT_EQ(view<CControl>(kRmsView1)->getValue(), (1.4f - 1.0f) * 2.0f);
    EXPECT_EQ(view<CControl>(kPeakView1)->getValue(), 0.5f);
    EXPECT_EQ(view<CControl>(kPeakView0)->getValue(), 0.0f);
    // and drawn in that same idle
    for (int i = 0; i < kViewCount; ++i)
        EXPECT_FALSE(frame()->getView(i)->isDirty()) << i;
    EXPECT_EQ(pixels().at(824, 105 + static_cast<int>(57.0f * 0.75f)), kHandle);
}

TEST_F(Threads, AutomationRacesTheEditorOpeningAndClosing) {
    std::atomic<bool> done = false;
    std::thread automation([&] {
        for (uint32_t i = 0; !done.load(); ++i) {
            const float v = static_cast<float>(i % 100) / 100.0f;
            for (int32_t index = 0; index < kNumParams; ++index)
                set(index, index >= kRmsLevel && index <= kHoldLevel ? (i & 1) + v / 2 : v);
        }
    });
    for (int round = 0; round < 150; ++round) {
        openEditor();
        idle();
        set(kMode, 0.5f); // the editor's own thread changes a value too
        idle();
        dispatch(effEditClose);
    }
    done = true;
    automation.join();
    EXPECT_FALSE(editor()->isOpened());
    EXPECT_TRUE(headless::windows().empty());
}

TEST_F(Threads, AudioAutomationAndEditorOnThreeThreads) {
    Stream played(400000, 1);
    Stream reference(400000, 1);
    reference.playAlone();

    std::atomic<bool> done = false;
    std::thread audio([&] {
        // processes the stream and reports meter readings for both channels after each block
        played.play(effect);
        while (!done.load()) {
            for (int32_t index : {kRmsLevel, kPeakLevel, kHoldLevel}) {
                set(index, 0.2f);
                set(index, 1.4f);
            }
            std::this_thread::yield();
        }
    });
    std::thread automation([&] {
        char text[32];
        for (uint32_t i = 0; !done.load(); ++i) {
            const float v = static_cast<float>(i % 64) / 64.0f;
            for (int32_t index : {kDelay, kVolume, kMode, kResp, kRmsMode}) {
                set(index, v);
                dispatch(effGetParamDisplay, index, 0, text);
            }
            std::this_thread::yield();
        }
    });
    for (int round = 0; round < 60; ++round) {
        openEditor();
        for (int i = 0; i < 5; ++i)
            idle();
        // a drag on the slider, with the host idled from inside it
        headless::setTicks(headless::ticks() + 1000);
        headless::queueInput({{headless::kLeft, {830, 138}},
                              {headless::kLeft, {830, 138}},
                              {headless::kLeft, {830, 120}},
                              {0, {830, 120}}});
        headless::postPress(*headless::lastWindow(), {830, 138});
        idle();
        dispatch(effSetProgram, 0, round % 3);
        idle();
        dispatch(effEditClose);
    }
    done = true;
    audio.join();
    automation.join();
    EXPECT_TRUE(played.sameAs(reference));
    EXPECT_TRUE(headless::windows().empty());
}

TEST_F(Threads, BlockSizesAnnouncedWhileTheAudioThreadProcesses) {
    Stream played(300000, 2);
    Stream reference(300000, 2);
    reference.playAlone();

    std::atomic<bool> done = false;
    std::thread host([&] {
        // ever larger sizes, each beyond the last, and now and then an absurd one
        for (intptr_t i = 0; !done.load(); ++i) {
            dispatch(effSetBlockSize, 0, 4096 + 64 * (i % 4000));
            if (i % 1000 == 999)
                dispatch(effSetBlockSize, 0, i % 2000 == 999 ? INT32_MAX : 1 << 28);
        }
    });
    played.play(effect);
    done = true;
    host.join();
    EXPECT_TRUE(played.sameAs(reference));
}

} // namespace
} // namespace editortest
