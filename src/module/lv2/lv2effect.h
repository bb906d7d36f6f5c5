#pragma once
// The effect behind the LV2 plug-in: ADelay built for a sample rate, as a VST 2 host that runs
// at that rate gets it.

#include "effect/adelay.h"

#include <memory>

namespace quorvane::lv2 {

// The effect for the rate: asked for the sample rate, the creation answers the rate truncated
// to whole hertz, as a VST 2 host does, and the effect is then told the exact rate, as such a
// host does next; the frame length follows from the first. Null for a rate that is not
// positive and finite, or when memory runs out. Never throws.
std::unique_ptr<ADelay> createEffect(double sampleRate) noexcept;

} // namespace quorvane::lv2
