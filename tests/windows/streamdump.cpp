// Feeds the same input through a module for several sample rates and block patterns and writes
// the output streams, so that the Linux and the Windows module can be compared bit for bit:
//
//   streamdump MODULE OUTPUT            writes every output stream to OUTPUT
//   streamdump MODULE --compare FILE    compares this module's streams with FILE's
//
// The input is made with integer arithmetic only, so it is the same bits on every platform
// whatever its mathematics library does.

#include "../support/streaminput.h"
#include "moduleloader.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Pattern {
    std::vector<int32_t> blocks; // block lengths, repeated until the input is used up
    bool replacing;              // processReplacing, or the accumulating process
};

// Every rate with every pattern: the three frame lengths and the rates at their edges, steady
// and ragged block divisions, both audio entries.
const int32_t kRates[] = {8000, 22050, 27999, 28000, 44100, 48000, 60001, 96000, 192000};
const Pattern kPatterns[] = {
    {{512}, true},
    {{1, 7, 64, 333, 1000}, false},
    {{4096, 3, 2048}, true},
};

struct Case {
    int32_t rate;
    const Pattern& pattern;
};

constexpr size_t kLength = 24000;

// The host: answers its version and the rate of the case.
intptr_t gRate = 44100;

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    switch (opcode) {
    case 1: // audioMasterVersion
        return 2400;
    case 16: // audioMasterGetSampleRate
        return gRate;
    default:
        return 0;
    }
}

// Output 0 then output 1 of one case; latency is the frame length the instance reported.
std::vector<float> runCase(EntryProc entry, const Case& c, const std::vector<float>& key,
                           const std::vector<float>& signal, size_t& latency) {
    gRate = c.rate;
    std::vector<float> out(2 * kLength, 99.0f);
    AEffect* effect = entry(hostCallback);
    if (!effect) return {};
    latency = size_t(effect->initialDelay);
    effect->dispatcher(effect, 12 /* effMainsChanged */, 0, 1, nullptr, 0.0f);
    size_t done = 0;
    for (size_t b = 0; done < kLength; ++b) {
        const std::vector<int32_t>& blocks = c.pattern.blocks;
        const size_t n = std::min(kLength - done, size_t(blocks[b % blocks.size()]));
        float* inputs[2] = {const_cast<float*>(key.data() + done),
                            const_cast<float*>(signal.data() + done)};
        float* outputs[2] = {out.data() + done, out.data() + kLength + done};
        if (!c.pattern.replacing) {
            // The accumulating entry overwrites all the same; start from silence as a host does.
            std::memset(outputs[0], 0, n * sizeof(float));
            std::memset(outputs[1], 0, n * sizeof(float));
        }
        (c.pattern.replacing ? effect->processReplacing : effect->process)(effect, inputs, outputs,
                                                                           int32_t(n));
        done += n;
    }
    effect->dispatcher(effect, 1 /* effClose */, 0, 0, nullptr, 0.0f);
    return out;
}

uint32_t bitsOf(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof(bits));
    return bits;
}

} // namespace

int main(int argc, char** argv) {
    const bool compare = argc == 4 && std::strcmp(argv[2], "--compare") == 0;
    if (argc != 3 && !compare) {
        std::fprintf(stderr, "usage: streamdump MODULE OUTPUT | MODULE --compare FILE\n");
        return 2;
    }
    void* module = loadModule(argv[1]);
    EntryProc entry = module ? moduleEntry(module, "main") : nullptr;
    if (!entry) {
        std::fprintf(stderr, "streamdump: %s: cannot load the module\n", argv[1]);
        return 4;
    }
    std::vector<float> key, signal;
    streaminput::makeInput(kLength, key, signal);

    std::FILE* file = std::fopen(compare ? argv[3] : argv[2], compare ? "rb" : "wb");
    if (!file) {
        std::fprintf(stderr, "streamdump: %s: cannot open\n", compare ? argv[3] : argv[2]);
        return 5;
    }
    int failures = 0;
    size_t streams = 0;
    std::vector<Case> cases;
    for (int32_t rate : kRates)
        for (const Pattern& pattern : kPatterns)
            cases.push_back({rate, pattern});
    for (const Case& c : cases) {
        size_t latency = 0;
        std::vector<float> out = runCase(entry, c, key, signal, latency);
        if (out.empty()) {
            std::fprintf(stderr, "streamdump: no instance at %d Hz\n", int(c.rate));
            return 4;
        }
        streams += 2;
        if (!compare) {
            std::fwrite(out.data(), sizeof(float), out.size(), file);
            continue;
        }
        std::vector<float> other(out.size());
        if (std::fread(other.data(), sizeof(float), other.size(), file) != other.size()) {
            std::fprintf(stderr, "streamdump: %s ends early\n", argv[3]);
            return 3;
        }
        // Output 1 must sound and differ from the plain delayed signal, or the comparison
        // would prove little about the engine.
        size_t sounding = 0, ducked = 0;
        for (size_t i = latency; i < kLength; ++i) {
            const float y = out[kLength + i];
            sounding += y != 0.0f;
            ducked += std::fabs(y - signal[i - latency]) > 1e-3f;
        }
        if (sounding < (kLength - latency) / 2 || ducked < (kLength - latency) / 8) {
            std::fprintf(stderr, "%d Hz: output 1 is silent or not ducked (%zu, %zu)\n",
                         int(c.rate), sounding, ducked);
            ++failures;
        }
        for (size_t i = 0; i < out.size(); ++i) {
            if (bitsOf(out[i]) != bitsOf(other[i])) {
                std::fprintf(stderr,
                             "%d Hz, %zu-length pattern, output %zu, sample %zu: %08" PRIX32
                             " here, %08" PRIX32 " there\n",
                             int(c.rate), c.pattern.blocks.size(), i / kLength, i % kLength,
                             bitsOf(out[i]), bitsOf(other[i]));
                ++failures;
                break;
            }
        }
    }
    std::fclose(file);
    unloadModule(module);
    if (compare)
        std::printf("%zu streams of %zu samples compared, %d differ\n", streams, kLength, failures);
    return failures == 0 ? 0 : 1;
}
