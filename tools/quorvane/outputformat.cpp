#include "outputformat.h"

#include "audiofile.h"
#include "toolerror.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <tuple>

namespace quorvane::cli {
namespace {

struct FormatEntry {
    std::string extension;
    int major = 0;
    int preferredSubtype = 0; // 0: none beyond the input's
};

// Names that libsndfile does not report as a format's extension but that people use, and names
// whose encoding is fixed by the name; these come before libsndfile's own.
const FormatEntry kAliases[] = {
    {"aif", SF_FORMAT_AIFF, 0},
    {"aifc", SF_FORMAT_AIFF, 0},
    {"ogg", SF_FORMAT_OGG, 0},
    {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS},
    {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III},
    {"mp2", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_II},
    {"m1a", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_I},
};

// Rates named when a format takes only some.
const int kCommonRates[] = {8000,  11025, 12000, 16000,  22050,  24000,  32000, 44100,
                            48000, 88200, 96000, 176400, 192000, 352800, 384000};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The aliases, then libsndfile's containers by extension; the first of a name wins (WAV before
// NIST and WAVEX).
std::vector<FormatEntry> formatTable() {
    std::vector<FormatEntry> table;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof(count));
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof(info)) != 0) continue;
        for (const FormatEntry& alias : kAliases)
            if (alias.major == info.format) table.push_back(alias);
    }
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof(count));
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof(info)) != 0 || !info.extension)
            continue;
        table.push_back({lowerCase(info.extension), info.format, 0});
    }
    return table;
}

std::vector<int> subtypes() {
    std::vector<int> list;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &count, sizeof(count));
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &info, sizeof(info)) == 0)
            list.push_back(info.format);
    }
    return list;
}

// "FLAC" from "FLAC (Free Lossless Audio Codec)".
std::string shortName(int major) {
    SF_FORMAT_INFO info{};
    info.format = major;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof(info)) != 0 || !info.name)
        return "this format";
    const std::string name = info.name;
    return name.substr(0, name.find(" ("));
}

// "Opus", "MPEG Layer III": an encoding's own name.
std::string encodingName(int subtype) {
    SF_FORMAT_INFO info{};
    info.format = subtype;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof(info)) != 0 || !info.name)
        return "this encoding";
    return info.name;
}

int subtypeFor(SampleBits bits) {
    switch (bits) {
    case SampleBits::Integer16:
        return SF_FORMAT_PCM_16;
    case SampleBits::Integer24:
        return SF_FORMAT_PCM_24;
    case SampleBits::Integer32:
        return SF_FORMAT_PCM_32;
    case SampleBits::Float:
        return SF_FORMAT_FLOAT;
    case SampleBits::Input:
        break;
    }
    return 0;
}

std::string describeBits(SampleBits bits) {
    return bits == SampleBits::Float
               ? "32-bit float"
               : std::to_string(integerBits(subtypeFor(bits))) + "-bit integer";
}

// Lossless encodings closest to the input's: as deep or deeper first, then float, then less
// deep. Non-integer inputs (float, double, companded, lossy) go to float first.
std::vector<int> closestSubtypes(int inputSubtype) {
    switch (integerBits(inputSubtype)) {
    case 8:
        return {inputSubtype == SF_FORMAT_PCM_U8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_U8,
                SF_FORMAT_PCM_16, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32, SF_FORMAT_FLOAT};
    case 16:
        return {SF_FORMAT_PCM_24, SF_FORMAT_PCM_32, SF_FORMAT_FLOAT};
    case 24:
        return {SF_FORMAT_PCM_32, SF_FORMAT_FLOAT, SF_FORMAT_PCM_16};
    case 32:
        return {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16};
    default:
        return {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_32, SF_FORMAT_PCM_16};
    }
}

// A sink in memory for trying a format out.
struct Probe {
    std::vector<char> bytes;
    sf_count_t at = 0;
};

sf_count_t probeLength(void* user) {
    return static_cast<sf_count_t>(static_cast<Probe*>(user)->bytes.size());
}
sf_count_t probeSeek(sf_count_t offset, int whence, void* user) {
    Probe& probe = *static_cast<Probe*>(user);
    const sf_count_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? probe.at
                                                 : static_cast<sf_count_t>(probe.bytes.size());
    probe.at = std::max<sf_count_t>(base + offset, 0);
    return probe.at;
}
sf_count_t probeRead(void* bytes, sf_count_t count, void* user) {
    Probe& probe = *static_cast<Probe*>(user);
    const sf_count_t left = static_cast<sf_count_t>(probe.bytes.size()) - probe.at;
    const sf_count_t n = std::clamp<sf_count_t>(left, 0, count);
    std::copy_n(probe.bytes.data() + probe.at, n, static_cast<char*>(bytes));
    probe.at += n;
    return n;
}
sf_count_t probeWrite(const void* bytes, sf_count_t count, void* user) {
    Probe& probe = *static_cast<Probe*>(user);
    if (probe.bytes.size() < static_cast<size_t>(probe.at + count))
        probe.bytes.resize(static_cast<size_t>(probe.at + count));
    std::copy_n(static_cast<const char*>(bytes), count, probe.bytes.data() + probe.at);
    probe.at += count;
    return count;
}
sf_count_t probeTell(void* user) {
    return static_cast<Probe*>(user)->at;
}

// True when libsndfile accepts the format and really writes a little of it: some formats pass
// its check and fail when opened (a rate the encoder does not take) or have no encoder at all.
bool holds(int format, int channels, int sampleRate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    // Sound Designer II keeps its header in a resource fork beside the file, which libsndfile
    // cannot write to a file it is handed open.
    if (sf_format_check(&info) == 0 || (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_SD2) return false;
    static std::map<std::tuple<int, int, int>, bool> known;
    const auto key = std::make_tuple(format, channels, sampleRate);
    if (const auto found = known.find(key); found != known.end()) return found->second;

    SF_VIRTUAL_IO io{probeLength, probeSeek, probeRead, probeWrite, probeTell};
    Probe probe;
    bool works = false;
    if (SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &probe)) {
        const std::vector<float> silence(static_cast<size_t>(channels) * 64, 0.0f);
        works = sf_writef_float(file, silence.data(), 64) == 64;
        works = sf_close(file) == 0 && works;
    }
    known[key] = works;
    return works;
}

// " (it takes 8000, 12000 or 48000 Hz)" for the common rates at which format is written.
std::string ratesTaken(int format, int channels) {
    std::vector<int> rates;
    for (int rate : kCommonRates)
        if (holds(format, channels, rate)) rates.push_back(rate);
    if (rates.empty()) return "";
    std::string text = " (it takes ";
    for (size_t i = 0; i < rates.size(); ++i)
        text += (i == 0 ? "" : i + 1 == rates.size() ? " or " : ", ") + std::to_string(rates[i]);
    return text + " Hz)";
}

std::string channelsText(int channels) {
    return std::to_string(channels) + (channels == 1 ? " channel" : " channels");
}

} // namespace

SampleBits parseSampleBits(const std::string& text) {
    if (text == "16") return SampleBits::Integer16;
    if (text == "24") return SampleBits::Integer24;
    if (text == "32") return SampleBits::Integer32;
    if (text == "float") return SampleBits::Float;
    return SampleBits::Input;
}

std::vector<std::string> writableExtensions() {
    // Containers that can hold at least a mono stream at some common rate.
    const std::vector<int> encodings = subtypes();
    const auto writable = [&](const FormatEntry& entry) {
        for (int rate : {44100, 48000, 8000}) {
            if (entry.preferredSubtype != 0) {
                if (holds(entry.major | entry.preferredSubtype, 1, rate)) return true;
                continue;
            }
            for (int subtype : encodings)
                if (holds(entry.major | subtype, 1, rate)) return true;
        }
        return false;
    };
    std::vector<std::string> names, seen;
    for (const FormatEntry& entry : formatTable()) {
        if (std::find(seen.begin(), seen.end(), entry.extension) != seen.end()) continue;
        seen.push_back(entry.extension);
        if (writable(entry)) names.push_back(entry.extension);
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// The container for path's extension; the input's when it has none.
FormatEntry containerFor(const std::string& path, int inputFormat) {
    const std::string dotted = std::filesystem::path(path).extension().string();
    const std::string extension = lowerCase(dotted.empty() ? dotted : dotted.substr(1));
    if (extension.empty()) return {"", inputFormat & SF_FORMAT_TYPEMASK, 0};
    const std::vector<FormatEntry> table = formatTable();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [&](const FormatEntry& e) { return e.extension == extension; });
    if (found != table.end()) return *found;
    std::string known;
    for (const std::string& name : writableExtensions())
        known += (known.empty() ? "" : ", ") + name;
    throw fileError(kExitUsage, path,
                    "no audio format is written as ." + extension + " (known: " + known + ")");
}

} // namespace

void checkOutputExtension(const std::string& path) {
    containerFor(path, SF_FORMAT_WAV);
}

int chooseOutputFormat(const std::string& path, int inputFormat, int channels, int sampleRate,
                       SampleBits bits) {
    // Container: by extension, or the input's when the name has none.
    const FormatEntry chosen = containerFor(path, inputFormat);
    const int major = chosen.major;

    // Encoding asked for by name: that one or none.
    if (bits != SampleBits::Input) {
        if (holds(major | subtypeFor(bits), channels, sampleRate)) return major | subtypeFor(bits);
        throw fileError(kExitUsage, path,
                        shortName(major) + " cannot hold " + describeBits(bits) + " samples");
    }

    // The one the name implies (.mp3, .opus), or none.
    if (chosen.preferredSubtype != 0) {
        const int format = major | chosen.preferredSubtype;
        if (holds(format, channels, sampleRate)) return format;
        const std::string name = encodingName(chosen.preferredSubtype);
        for (int rate : kCommonRates)
            if (holds(format, channels, rate))
                throw fileError(kExitUsage, path,
                                name + " cannot be written at " + std::to_string(sampleRate) +
                                    " Hz" + ratesTaken(format, channels));
        throw fileError(kExitUsage, path,
                        name + " cannot be written with " + channelsText(channels) + " at " +
                            std::to_string(sampleRate) + " Hz");
    }

    // Otherwise the input's, the closest lossless one, and last whatever the container takes, in
    // libsndfile's order.
    const int inputSubtype = inputFormat & SF_FORMAT_SUBMASK;
    std::vector<int> candidates;
    // MPEG audio is kept in its own files only, though WAV could carry it.
    const bool mpeg = inputSubtype == SF_FORMAT_MPEG_LAYER_I ||
                      inputSubtype == SF_FORMAT_MPEG_LAYER_II ||
                      inputSubtype == SF_FORMAT_MPEG_LAYER_III;
    if (!mpeg || major == SF_FORMAT_MPEG) candidates.push_back(inputSubtype);
    for (int subtype : closestSubtypes(inputSubtype))
        candidates.push_back(subtype);
    for (int subtype : subtypes())
        candidates.push_back(subtype);
    for (int subtype : candidates)
        if (holds(major | subtype, channels, sampleRate)) return major | subtype;
    throw fileError(kExitUsage, path,
                    shortName(major) + " cannot hold " + channelsText(channels) + " at " +
                        std::to_string(sampleRate) + " Hz");
}

} // namespace quorvane::cli
