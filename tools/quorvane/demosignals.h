#pragma once
// The demo's material, synthesised: a key of rhythmic vocal-like formant bursts in two phrases
// with pauses between them, over a sustained two-chord pad.

#include <vector>

namespace quorvane::cli {

struct DemoSignals {
    std::vector<float> key; // mono
    std::vector<float> bed; // stereo, interleaved
};

// Deterministic: the same rate and length give the same samples.
DemoSignals synthesiseDemo(int sampleRate, double seconds);

} // namespace quorvane::cli
