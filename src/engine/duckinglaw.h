#pragma once
// The ducking law, bin by bin: its constants and its per-bin steps, written once. Each step is
// a template over the value type, so the scalar code runs it on float and the vector kernels on
// a vector of floats, every lane doing exactly the scalar operations in the same order.

#include <cfloat>
#include <cmath>

namespace quorvane::ducking {

// One-pole smoothing factor of the key over time, per hop.
inline constexpr float kTimeSmoothing = 0.1f; // 0.10000000149011612
// Smoothed key values below this are 0; also keeps the gain's division finite.
inline constexpr float kTiny = 1e-20f; // 9.999999682655225e-21
// Width of the smoothing across bins: this share of the bin frequency, and no less than the
// share of the floor frequency.
inline constexpr float kBandwidthShare = 0.03f;
inline constexpr float kBandwidthFloorHz = 700.0f;

// |re + i im| of one bin.
inline float magnitude(float re, float im) {
    return std::sqrt(re * re + im * im);
}

// The key's smoothed magnitude after one more hop: state moves a tenth of the way towards the
// new magnitude; tiny values and values that are not finite become 0.
template <class T> inline T smoothedKey(T state, T magnitude) {
    const T v = state + (magnitude - state) * kTimeSmoothing;
    return (v >= kTiny && v <= FLT_MAX) ? v : T{};
}

// One step of the smoothing across bins: from the neighbour's smoothed value towards this bin's
// value by the neighbour's coefficient.
template <class T> inline T smoothedAcross(T neighbour, T value, T coefficient) {
    return neighbour + (value - neighbour) * coefficient;
}

// Gain of the ducked channel in a bin, D / (K + D) up to the tiny constant, from the smoothed key
// K and the ducked channel's magnitude D: 1 where K is 0, 0 where K / D overflows.
template <class T> inline T duckingGain(T key, T ducked) {
    const T r = key / (ducked + kTiny);
    return 1.0f / (r + 1.0f);
}

} // namespace quorvane::ducking
