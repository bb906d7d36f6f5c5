#include "audiofile.h"

#include "outputfile.h"
#include "toolerror.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace quorvane::cli {
namespace {

std::string formatInfoName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof(info)) != 0 || !info.name)
        return "unknown";
    return info.name;
}

void checkReadable(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) throw fileError(kExitInput, path, "no such file");
    if (fs::is_directory(status)) throw fileError(kExitInput, path, "is a folder, not a file");
    if (access(path.c_str(), R_OK) != 0)
        throw fileError(kExitInput, path,
                        "cannot be read (" + std::string(std::strerror(errno)) + ")");
    if (fs::is_regular_file(status) && fs::file_size(path, error) == 0 && !error)
        throw fileError(kExitInput, path, "is empty");
}

// Integer samples as libsndfile hands them out: left-aligned in 32 bits.
constexpr float kFromInteger = 1.0f / 2147483648.0f;

int32_t toInteger(float sample, int bits) {
    const double top = std::ldexp(1.0, bits - 1);
    double scaled = std::nearbyint(static_cast<double>(sample) * top);
    if (std::isnan(scaled)) scaled = 0.0;
    scaled = std::clamp(scaled, -top, top - 1.0);
    return static_cast<int32_t>(static_cast<int64_t>(scaled) * (int64_t{1} << (32 - bits)));
}

} // namespace

std::string describeFormat(int format) {
    return formatInfoName(format & SF_FORMAT_TYPEMASK) + ", " +
           formatInfoName(format & SF_FORMAT_SUBMASK);
}

int integerBits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return 8;
    case SF_FORMAT_PCM_16:
        return 16;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
        return 32;
    default:
        return 0;
    }
}

// --- AudioReader ------------------------------------------------------------------------------

AudioReader::AudioReader(const std::string& path) : path_(path) {
    // Open: name the file's problem before libsndfile's more general one.
    checkReadable(path);
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_)
        throw fileError(kExitInput, path,
                        std::string("not a readable audio file (") + sf_strerror(nullptr) + ")");

    // Check: a stream of known length with at least one frame.
    if (info_.frames <= 0 || info_.channels <= 0 || info_.samplerate <= 0) {
        sf_close(file_);
        file_ = nullptr;
        throw fileError(kExitInput, path,
                        info_.frames == 0 ? "holds no audio (0 frames)"
                                          : "has no usable length, channel count or sample rate");
    }
    bits_ = integerBits(info_.format);
}

AudioReader::~AudioReader() {
    if (file_) sf_close(file_);
}

int64_t AudioReader::read(float* interleaved, int64_t count) {
    if (bits_ == 0) return sf_readf_float(file_, interleaved, count);

    // Integer files: exact conversion, 2^-31 per step of the left-aligned value.
    const size_t samples = static_cast<size_t>(count) * static_cast<size_t>(info_.channels);
    if (scratch_.size() < samples) scratch_.resize(samples);
    const int64_t got = sf_readf_int(file_, scratch_.data(), count);
    const size_t gotSamples = static_cast<size_t>(std::max<int64_t>(got, 0)) * info_.channels;
    for (size_t i = 0; i < gotSamples; ++i)
        interleaved[i] = static_cast<float>(scratch_[i]) * kFromInteger;
    return got;
}

// --- AudioWriter ------------------------------------------------------------------------------

AudioWriter::AudioWriter(const std::string& path, int sampleRate, int channels, int format)
    : channels_(channels), bits_(integerBits(format)) {
    // Check: libsndfile must be able to write this format with this layout.
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info))
        throw fileError(kExitOutput, path,
                        "cannot be written as " + describeFormat(format) + " with " +
                            std::to_string(channels) + " channels");

    // Open: into the temporary file; libsndfile takes over its descriptor.
    output_ = std::make_unique<OutputFile>(path);
    file_ = sf_open_fd(output_->releaseDescriptor(), SFM_WRITE, &info, SF_TRUE);
    if (!file_)
        throw fileError(kExitOutput, path,
                        std::string("cannot be written (") + sf_strerror(nullptr) + ")");
    // Encodings other than plain integers (companded, adaptive) clip in libsndfile.
    if (bits_ == 0 && (format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT &&
        (format & SF_FORMAT_SUBMASK) != SF_FORMAT_DOUBLE)
        sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter() {
    if (file_) sf_close(file_);
}

void AudioWriter::write(const float* interleaved, int64_t count) {
    int64_t written = 0;
    if (bits_ == 0) {
        written = sf_writef_float(file_, interleaved, count);
    } else {
        // Integer files: round to the file's own step and clip at full scale.
        const size_t samples = static_cast<size_t>(count) * static_cast<size_t>(channels_);
        if (scratch_.size() < samples) scratch_.resize(samples);
        for (size_t i = 0; i < samples; ++i)
            scratch_[i] = toInteger(interleaved[i], bits_);
        written = sf_writef_int(file_, scratch_.data(), count);
    }
    if (written != count)
        throw fileError(kExitOutput, output_->destination(),
                        std::string("write failed (") + sf_strerror(file_) + ")");
}

void AudioWriter::finish() {
    if (!file_) return;
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0)
        throw fileError(kExitOutput, output_->destination(),
                        std::string("cannot be completed (") + sf_error_number(closed) + ")");
}

void AudioWriter::commit() {
    finish();
    output_->commit();
}

} // namespace quorvane::cli
