#include "outputformat.h"

#include "audiofile.h"
#include "toolerror.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace quorvane::cli {
namespace {

struct FormatEntry {
    std::string extension;
    int major = 0;
    int preferredSubtype = 0; // 0: none beyond the input's
};

// Names that libsndfile does not report as a format's extension but that people use.
const FormatEntry kAliases[] = {
    {"aif", SF_FORMAT_AIFF, 0},
    {"aifc", SF_FORMAT_AIFF, 0},
    {"ogg", SF_FORMAT_OGG, 0},
    {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS},
    {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III},
    {"mp2", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_II},
};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// libsndfile's containers by extension, first of a name wins (WAV before NIST and WAVEX), then
// the aliases.
std::vector<FormatEntry> formatTable() {
    std::vector<FormatEntry> table;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof(count));
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof(info)) != 0 || !info.extension)
            continue;
        table.push_back({lowerCase(info.extension), info.format, 0});
    }
    for (const FormatEntry& alias : kAliases)
        if (std::any_of(table.begin(), table.end(),
                        [&](const FormatEntry& e) { return e.major == alias.major; }))
            table.push_back(alias);
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

bool holds(int format, int channels, int sampleRate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
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
    const auto writable = [&](int major) {
        for (int rate : {44100, 48000, 8000})
            for (int subtype : encodings)
                if (holds(major | subtype, 1, rate)) return true;
        return false;
    };
    std::vector<std::string> names;
    for (const FormatEntry& entry : formatTable())
        if (std::find(names.begin(), names.end(), entry.extension) == names.end() &&
            writable(entry.major))
            names.push_back(entry.extension);
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

    // Otherwise the one the name implies (.mp3, .opus), the input's, the closest lossless one,
    // and last whatever the container takes, in libsndfile's order.
    const int inputSubtype = inputFormat & SF_FORMAT_SUBMASK;
    std::vector<int> candidates;
    if (chosen.preferredSubtype != 0) candidates.push_back(chosen.preferredSubtype);
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
                    shortName(major) + " cannot hold " + std::to_string(channels) +
                        " channels at " + std::to_string(sampleRate) + " Hz");
}

} // namespace quorvane::cli
