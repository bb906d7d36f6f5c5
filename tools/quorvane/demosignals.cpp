#include "demosignals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace quorvane::cli {
namespace {

constexpr double kTwoPi = 2.0 * M_PI;

// One period of a band-limited tone: harmonics up to highest Hz, falling by 1/k^tilt.
std::vector<float> waveTable(double fundamental, double highest, double tilt) {
    constexpr size_t kSize = 4096;
    std::vector<float> table(kSize, 0.0f);
    const int harmonics = std::max(1, static_cast<int>(highest / fundamental));
    double peak = 0.0;
    std::vector<double> values(kSize, 0.0);
    for (size_t i = 0; i < kSize; ++i) {
        for (int k = 1; k <= harmonics; ++k)
            values[i] += std::sin(kTwoPi * k * double(i) / kSize) / std::pow(k, tilt);
        peak = std::max(peak, std::fabs(values[i]));
    }
    for (size_t i = 0; i < kSize; ++i)
        table[i] = static_cast<float>(values[i] / peak);
    return table;
}

float readTable(const std::vector<float>& table, double phase) {
    const double position = phase * double(table.size());
    const auto i = static_cast<size_t>(position) % table.size();
    const float f = static_cast<float>(position - std::floor(position));
    return table[i] + (table[(i + 1) % table.size()] - table[i]) * f;
}

// Band-pass resonator of two poles, unity gain at its centre.
class Resonator {
public:
    Resonator(double centre, double bandwidth, double rate) {
        const double w = kTwoPi * centre / rate;
        const double q = centre / bandwidth;
        const double alpha = std::sin(w) / (2.0 * q);
        const double a0 = 1.0 + alpha;
        b0_ = alpha / a0;
        a1_ = -2.0 * std::cos(w) / a0;
        a2_ = (1.0 - alpha) / a0;
    }
    double run(double x) {
        const double y = b0_ * x - b0_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    double b0_, a1_, a2_;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

struct Vowel {
    double f1, f2, f3;
};
constexpr std::array<Vowel, 5> kVowels = {
    {{800, 1200, 2500}, {400, 2000, 2600}, {300, 2300, 3000}, {500, 900, 2400}, {350, 800, 2300}}};

struct Syllable {
    double start, length; // seconds
    int vowel;
    double pitch; // Hz
};
// Two phrases, with pauses after each.
constexpr Syllable kSyllables[] = {
    {0.50, 0.22, 0, 196}, {0.80, 0.18, 1, 220}, {1.05, 0.35, 3, 247}, {1.55, 0.20, 2, 220},
    {1.82, 0.20, 0, 196}, {2.10, 0.45, 4, 175}, {2.75, 0.22, 1, 196}, {3.05, 0.55, 0, 220},
    {5.30, 0.25, 3, 247}, {5.62, 0.18, 2, 262}, {5.88, 0.40, 0, 247}, {6.40, 0.20, 1, 220},
    {6.68, 0.22, 3, 196}, {6.98, 0.50, 0, 220}, {7.60, 0.22, 2, 247}, {7.90, 0.40, 4, 220}};

// Raised-cosine attack and release inside a note of the given length.
double envelope(double t, double length, double attack, double release) {
    if (t < 0.0 || t > length) return 0.0;
    if (t < attack) return 0.5 - 0.5 * std::cos(M_PI * t / attack);
    if (t > length - release) return 0.5 - 0.5 * std::cos(M_PI * (length - t) / release);
    return 1.0;
}

void addSyllable(std::vector<float>& key, const Syllable& s, int rate) {
    // Source: a glottal-like buzz with vibrato and a breath of noise.
    const std::vector<float> buzz = waveTable(s.pitch, 5000.0, 1.0);
    const Vowel& v = kVowels[size_t(s.vowel)];
    Resonator f1(v.f1, 90.0, rate), f2(v.f2, 110.0, rate), f3(v.f3, 140.0, rate);
    uint32_t noise = 12345u + static_cast<uint32_t>(s.start * 1000.0);
    double phase = 0.0;
    const auto first = static_cast<size_t>(s.start * rate);
    const auto count = static_cast<size_t>(s.length * rate);
    for (size_t i = 0; i < count && first + i < key.size(); ++i) {
        const double t = double(i) / rate;
        const double pitch =
            s.pitch * (1.0 + 0.015 * std::sin(kTwoPi * 5.5 * t)) * (1.0 - 0.04 * t / s.length);
        phase += pitch / rate;
        phase -= std::floor(phase);
        noise = noise * 1664525u + 1013904223u;
        const double breath = 0.2 * (double(noise >> 8) / 8388608.0 - 1.0);
        const double source = readTable(buzz, phase) + breath;
        // Vocal tract: three formants.
        const double voice = f1.run(source) + 0.6 * f2.run(source) + 0.3 * f3.run(source);
        key[first + i] += static_cast<float>(voice * envelope(t, s.length, 0.015, 0.05));
    }
}

struct Chord {
    double start, length;
    std::array<double, 5> notes;
};
constexpr Chord kChords[] = {{0.0, 5.15, {261.63, 329.63, 392.00, 493.88, 587.33}},
                             {4.85, 5.15, {220.00, 261.63, 329.63, 392.00, 493.88}}};

void addChord(std::vector<float>& bed, const Chord& chord, int rate, double seconds) {
    const size_t frames = bed.size() / 2;
    for (size_t n = 0; n < chord.notes.size(); ++n) {
        const double note = chord.notes[n];
        const std::vector<float> table = waveTable(note, 8000.0, 1.3);
        // Each side slightly detuned, with a slow swell of its own.
        for (int side = 0; side < 2; ++side) {
            const double frequency = note * (side == 0 ? 0.998 : 1.002);
            const double swellRate = 0.13 + 0.05 * double(n) + 0.03 * side;
            double phase = 0.25 * double(n) + 0.5 * side;
            const auto first = static_cast<size_t>(chord.start * rate);
            const double length = std::min(chord.length, seconds - chord.start);
            for (size_t i = 0; i < static_cast<size_t>(length * rate) && first + i < frames; ++i) {
                const double t = double(i) / rate;
                phase += frequency / rate;
                phase -= std::floor(phase);
                const double swell = 0.8 + 0.2 * std::sin(kTwoPi * swellRate * t + double(n));
                const double level = envelope(t, length, 0.3, 0.3) * swell;
                bed[2 * (first + i) + side] += static_cast<float>(readTable(table, phase) * level);
            }
        }
    }
}

// A breathy band of noise under the chords, 300 Hz to 5 kHz, different on each side.
void addAir(std::vector<float>& bed, int rate, double seconds, double level) {
    for (int side = 0; side < 2; ++side) {
        Resonator low(700.0, 900.0, rate), high(2600.0, 2600.0, rate);
        uint32_t noise = 777u + 1000u * static_cast<uint32_t>(side);
        const size_t frames = bed.size() / 2;
        for (size_t i = 0; i < frames; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double white = double(noise >> 8) / 8388608.0 - 1.0;
            const double t = double(i) / rate;
            const double band = low.run(white) + 0.7 * high.run(white);
            bed[2 * i + side] += static_cast<float>(level * band * envelope(t, seconds, 0.5, 0.5));
        }
    }
}

void normalise(std::vector<float>& samples, float peak) {
    float highest = 0.0f;
    for (float s : samples)
        highest = std::max(highest, std::fabs(s));
    if (highest > 0.0f)
        for (float& s : samples)
            s *= peak / highest;
}

} // namespace

DemoSignals synthesiseDemo(int sampleRate, double seconds) {
    DemoSignals demo;
    const auto frames = static_cast<size_t>(seconds * sampleRate);

    // Key: the syllables, peaking at -3 dBFS.
    demo.key.assign(frames, 0.0f);
    for (const Syllable& s : kSyllables)
        if (s.start < seconds) addSyllable(demo.key, s, sampleRate);
    normalise(demo.key, 0.7f);

    // Bed: the chords, overlapping a little where they change, peaking at -20 dBFS.
    demo.bed.assign(2 * frames, 0.0f);
    for (const Chord& chord : kChords)
        if (chord.start < seconds) addChord(demo.bed, chord, sampleRate, seconds);
    addAir(demo.bed, sampleRate, seconds, 1.5);
    normalise(demo.bed, 0.1f);
    return demo;
}

} // namespace quorvane::cli
