// Ardour's headless session tool (ardour7-lua) plays a stereo file, the key on its first channel,
// through the LV2 plug-in loaded by its URI on a track, and exports the master bus. The export
// must be the stream the VST 2 module gives for the same input, within float rounding of
// Ardour's mixing. Exits with 77 (skipped) when ardour7-lua is not installed.
//
// What the plug-in received before the file is silence of a length the test cannot know, and
// the engine cuts its frames every N/8 samples counted from its start: so the reference is the
// module's output for the file after k samples of silence, for the one k below N/8 whose
// ducked channel matches the export; the key channel, which comes out delayed but unchanged,
// fixes where the reference lies in the export.

#include "moduleloader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sndfile.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 48000;
constexpr int kInputSeconds = 4;
constexpr int kExportSeconds = 6;
constexpr int kSkipped = 77;
constexpr int kAttempts = 4;
// The key: silence, then bursts a quarter of a second long with quarter-second gaps, tones at
// the signal's two frequencies over a little noise; each burst starts with a sample of 0.5, so
// its onset is unmistakable.
constexpr size_t kKeyStart = kRate / 4;
constexpr size_t kBurst = kRate / 4;

struct Stereo {
    std::vector<float> key, signal; // first and second channel
};

Stereo makeInput() {
    const size_t frames = size_t(kRate) * kInputSeconds;
    Stereo s{std::vector<float>(frames), std::vector<float>(frames)};
    uint32_t noise = 12345;
    for (size_t i = 0; i < frames; i++) {
        const double t = double(i) / kRate;
        s.signal[i] =
            float(0.25 * std::sin(2 * M_PI * 220 * t) + 0.15 * std::sin(2 * M_PI * 1760 * t));
        if (i < kKeyStart || ((i - kKeyStart) / kBurst) % 2 == 1) continue;
        noise = noise * 1664525u + 1013904223u;
        const double tone =
            0.5 * std::sin(2 * M_PI * 220 * t) + 0.3 * std::sin(2 * M_PI * 1760 * t);
        s.key[i] = (i - kKeyStart) % kBurst == 0
                       ? 0.5f
                       : float(0.1 * (double(noise >> 8) / 16777216.0 - 0.5) + tone);
    }
    return s;
}

bool writeWav(const fs::path& path, const Stereo& s) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    std::vector<float> frames(s.key.size() * 2);
    for (size_t i = 0; i < s.key.size(); i++) {
        frames[2 * i] = s.key[i];
        frames[2 * i + 1] = s.signal[i];
    }
    const bool complete =
        sf_writef_float(file, frames.data(), sf_count_t(s.key.size())) == sf_count_t(s.key.size());
    return sf_close(file) == 0 && complete;
}

bool readWav(const fs::path& path, Stereo& s, int& rate) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return false;
    rate = info.samplerate;
    if (info.channels != 2) {
        sf_close(file);
        return false;
    }
    std::vector<float> frames(size_t(info.frames) * 2);
    const sf_count_t got = sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    s.key.resize(size_t(got));
    s.signal.resize(size_t(got));
    for (size_t i = 0; i < size_t(got); i++) {
        s.key[i] = frames[2 * i];
        s.signal[i] = frames[2 * i + 1];
    }
    return true;
}

intptr_t VSTCALLBACK host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetSampleRate) return kRate;
    return 0;
}

// The module's output for lead samples of silence and then the first frames of input.
Stereo render(EntryProc entry, const Stereo& input, size_t lead, size_t frames, int32_t& latency) {
    AEffect* effect = entry(host);
    latency = effect->initialDelay;
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kRate));
    effect->dispatcher(effect, effSetBlockSize, 0, 1024, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    Stereo in{std::vector<float>(lead + frames), std::vector<float>(lead + frames)};
    for (size_t i = 0; i < frames && i < input.key.size(); i++) {
        in.key[lead + i] = input.key[i];
        in.signal[lead + i] = input.signal[i];
    }
    Stereo out{std::vector<float>(lead + frames), std::vector<float>(lead + frames)};
    for (size_t at = 0; at < lead + frames; at += 1024) {
        const auto n = int32_t(std::min<size_t>(1024, lead + frames - at));
        float* inputs[2] = {in.key.data() + at, in.signal.data() + at};
        float* outputs[2] = {out.key.data() + at, out.signal.data() + at};
        effect->processReplacing(effect, inputs, outputs, n);
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return out;
}

size_t firstAbove(const std::vector<float>& v, float level) {
    for (size_t i = 0; i < v.size(); i++) {
        if (std::fabs(v[i]) > level) return i;
    }
    return v.size();
}

// The largest difference of a and b where b is a shifted by shift, over b's length.
float largestDifference(const std::vector<float>& a, const std::vector<float>& b, long shift,
                        size_t& compared) {
    float largest = 0.0f;
    compared = 0;
    for (size_t j = 0; j < a.size(); j++) {
        const long u = long(j) + shift;
        if (u < 0 || u >= long(b.size())) continue;
        largest = std::max(largest, std::fabs(a[j] - b[size_t(u)]));
        compared++;
    }
    return largest;
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const fs::path candidate = fs::path(dirs.substr(start, end - start)) / program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

std::string quoted(const fs::path& p) {
    std::string q = "'";
    for (char c : p.string())
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int fail(const std::string& why, const fs::path& log = {}) {
    std::printf("FAILED: %s\n", why.c_str());
    if (!log.empty()) {
        std::ifstream text(log);
        std::printf("--- ardour7-lua said:\n%s\n",
                    std::string(std::istreambuf_iterator<char>(text), {}).c_str());
    }
    return 1;
}

int run() {
    if (!onPath("ardour7-lua")) {
        std::printf("skipped: ardour7-lua (Debian's ardour package) is not installed\n");
        return kSkipped;
    }
    void* module = loadModule(QUORVANE_MODULE);
    EntryProc entry = module ? moduleEntry(module, "main") : nullptr;
    if (!entry) return fail("cannot load " + std::string(QUORVANE_MODULE));

    // A folder of our own: the bundle as the only LV2 plug-in, and Ardour's settings, with the
    // player script and the float export preset, kept away from the user's.
    char pattern[] = "/tmp/quorvane-ardour-XXXXXX";
    if (!mkdtemp(pattern)) return fail("cannot make a temporary folder");
    const fs::path dir = pattern;
    std::printf("working in %s (removed when the test passes)\n", dir.c_str());
    const fs::path config = dir / "config" / "ardour7";
    fs::create_directories(config / "scripts");
    fs::create_directories(config / "export");
    fs::create_directories(dir / "lv2");
    fs::copy_file(fs::path(ARDOUR_FILES) / "player.lua",
                  config / "scripts" / "_quorvane_player.lua");
    fs::copy_file(fs::path(ARDOUR_FILES) / "float.format",
                  config / "export" / "quorvane-float.format");
    fs::copy_file(fs::path(ARDOUR_FILES) / "float.preset",
                  config / "export" / "quorvane-float.preset");
    fs::create_directory_symlink(QUORVANE_LV2_BUNDLE, dir / "lv2" / "quorvane.lv2");

    const Stereo input = makeInput();
    if (!writeWav(dir / "input.wav", input)) return fail("cannot write the input");

    // Ardour's turn. ardour7-lua 7.3 sometimes corrupts its heap when a session has a Lua DSP
    // processor (it also does so with a processor that only writes silence, and without our
    // plug-in), and then aborts, mostly while closing the session after the export: a run counts
    // once it said it exported, and a run that broke off before is tried again.
    const fs::path log = dir / "ardour.log";
    const std::string command =
        "cd " + quoted(dir) + " && XDG_CONFIG_HOME=" + quoted(dir / "config") +
        " XDG_CACHE_HOME=" + quoted(dir / "cache") + " XDG_DATA_HOME=" + quoted(dir / "data") +
        " LV2_PATH=" + quoted(dir / "lv2") + " timeout 600 ardour7-lua " +
        quoted(fs::path(ARDOUR_FILES) / "session.lua") + " " + quoted(dir / "input.wav") + " " +
        quoted(dir / "session") + " " + std::to_string(kExportSeconds) + " > " + quoted(log) +
        " 2>&1";
    fs::path exported;
    int attempts = 0;
    std::string statuses;
    while (exported.empty() && attempts < kAttempts) {
        attempts++;
        fs::remove_all(dir / "session");
        const int status = std::system(command.c_str());
        statuses += (statuses.empty() ? "" : ", ") +
                    std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        std::ifstream text(log);
        const std::string said(std::istreambuf_iterator<char>(text), {});
        if (said.find("\nexported\n") == std::string::npos) continue;
        for (const auto& item : fs::directory_iterator(dir / "session" / "out")) {
            if (item.path().extension() == ".wav") exported = item.path();
        }
    }
    std::printf("ardour7-lua ran %d time(s), exit statuses %s\n", attempts, statuses.c_str());
    if (exported.empty()) return fail("ardour7-lua did not export", log);
    Stereo mix;
    int rate = 0;
    if (!readWav(exported, mix, rate)) return fail("cannot read the export", log);
    if (rate != kRate) return fail("the export is at " + std::to_string(rate) + " Hz", log);

    // Where the key is in the export: its first burst's onset, delayed.
    const size_t keyOnset = firstAbove(input.key, 0.4f);
    const size_t mixOnset = firstAbove(mix.key, 0.4f);
    if (mixOnset == mix.key.size()) return fail("no key in the export", log);

    // The lead of silence: the one whose ducked channel matches, among N/8 candidates, over the
    // first bursts.
    int32_t latency = 0;
    render(entry, input, 0, 1, latency);
    const size_t hop = size_t(latency) / 8;
    const size_t probe = keyOnset + 4 * kBurst;
    long bestShift = 0;
    size_t bestLead = hop;
    float bestDifference = INFINITY;
    for (size_t lead = 0; lead < hop; lead++) {
        int32_t n = 0;
        const Stereo reference = render(entry, input, lead, probe, n);
        // reference index of the export's sample j: j + shift
        const long shift = long(keyOnset + lead + size_t(n)) - long(mixOnset);
        size_t compared = 0;
        const float difference = largestDifference(mix.signal, reference.signal, shift, compared);
        if (difference < bestDifference) {
            bestDifference = difference;
            bestLead = lead;
            bestShift = shift;
        }
        if (bestDifference == 0.0f) break;
    }

    // The whole stream with that lead.
    const Stereo reference = render(entry, input, bestLead, input.key.size(), latency);
    size_t keyCompared = 0, duckedCompared = 0;
    const float keyDifference = largestDifference(mix.key, reference.key, bestShift, keyCompared);
    const float duckedDifference =
        largestDifference(mix.signal, reference.signal, bestShift, duckedCompared);
    // and the ducking is real: under the first burst the signal is quieter than it went in
    double inputEnergy = 0.0, duckedEnergy = 0.0;
    for (size_t j = 0; j < mix.signal.size(); j++) {
        const long u = long(j) + bestShift - long(bestLead) - latency;
        if (u < long(keyOnset + kBurst / 4) || u >= long(keyOnset + kBurst * 3 / 4)) continue;
        inputEnergy += double(input.signal[size_t(u)]) * input.signal[size_t(u)];
        duckedEnergy += double(mix.signal[j]) * mix.signal[j];
    }
    const double reduction = 10.0 * std::log10(duckedEnergy / inputEnergy);
    unloadModule(module);

    std::printf("latency %d samples; the plug-in's frames began %zu samples before the file; the "
                "export's sample 0 is the module's sample %ld\n",
                latency, bestLead, bestShift);
    std::printf("compared %zu key and %zu ducked samples: largest difference %.3g (key), %.3g "
                "(ducked); the signal under the first burst %.1f dB\n",
                keyCompared, duckedCompared, double(keyDifference), double(duckedDifference),
                reduction);
    const size_t enough = input.key.size() - kRate / 2;
    if (keyCompared < enough || duckedCompared < enough)
        return fail("too little was exported", log);
    // Ardour's mixing at unity gain may round once per sample; the stream itself must be the same
    const float tolerance = 1e-6f;
    if (keyDifference > tolerance || duckedDifference > tolerance)
        return fail("the export is not the module's stream", log);
    if (!(reduction < -3.0)) return fail("the signal was not ducked under the key");
    fs::remove_all(dir);
    return 0;
}

} // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
