#pragma once
// Deterministic test signals and a hash of float streams, the same bits on every build and
// platform: the generator is integer arithmetic and every float it makes is exact.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quorvane::testing {

// xorshift32; uniform() gives a multiple of 2^-23 in [-1, 1).
class Noise {
public:
    explicit Noise(uint32_t seed) : s_(seed != 0 ? seed : 1) {}
    uint32_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    float uniform() { return static_cast<float>(static_cast<int32_t>(next()) >> 8) * 0x1p-23f; }

private:
    uint32_t s_;
};

// FNV-1a over the bit patterns of the floats.
inline uint64_t fnv1a(const float* v, size_t count, uint64_t h = 0xcbf29ce484222325ull) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &v[i], sizeof bits);
        for (int b = 0; b < 4; ++b) {
            h ^= (bits >> (8 * b)) & 0xffu;
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

inline uint64_t fnv1a(const std::vector<float>& v, uint64_t h = 0xcbf29ce484222325ull) {
    return fnv1a(v.data(), v.size(), h);
}

// A key and a ducked signal that walk the engine through its cases: the key bursts, falls
// silent long enough for the smoothing state to decay to exactly 0, and comes back; the ducked
// signal is a noisy chord with a silent stretch while the key sounds (gains of exactly 0).
// Triangle wave of an integer phase, exact, in [-1, 1).
inline float triangle(uint32_t phase) {
    const uint32_t folded = (phase >> 31) != 0 ? ~phase : phase; // 0 .. 2^31 - 1
    return static_cast<float>(folded >> 7) * 0x1p-23f - 1.0f;
}

struct DuckingScene {
    std::vector<float> key;
    std::vector<float> ducked;

    DuckingScene(float rate, float seconds, uint32_t seed) {
        const size_t n = static_cast<size_t>(rate * seconds);
        key.resize(n);
        ducked.resize(n);
        Noise a(seed);
        Noise b(seed * 7919u + 1u);
        const size_t keyOff = static_cast<size_t>(rate * 0.8f);
        const size_t keyOn = static_cast<size_t>(rate * 3.8f);
        const size_t hushFrom = static_cast<size_t>(rate * 0.3f);
        const size_t hushTo = static_cast<size_t>(rate * 0.5f);
        uint32_t phase1 = 0;
        uint32_t phase2 = 0;
        for (size_t i = 0; i < n; ++i) {
            phase1 += 0x01234567u;
            phase2 += 0x00a3d70au;
            const float tri1 = triangle(phase1);
            const float tri2 = triangle(phase2);
            const bool keySounds = i < keyOff || i >= keyOn;
            const bool burst = ((i / 2000) % 3) != 2;
            key[i] = keySounds && burst ? a.uniform() * 0.5f + tri1 * 0.25f : 0.0f;
            ducked[i] = i >= hushFrom && i < hushTo ? 0.0f : b.uniform() * 0.125f + tri2 * 0.5f;
        }
    }
};

} // namespace quorvane::testing
