#include "audiofile.h"

#include "outputfile.h"
#include "toolerror.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// libsndfile writes through these, so that every byte that does not reach the file is seen,
// whatever the format's own code makes of a failed write.
sf_count_t sinkLength(void* user) {
    struct stat status {};
    return fstat(static_cast<AudioWriter::Sink*>(user)->descriptor, &status) == 0 ? status.st_size
                                                                                  : -1;
}

sf_count_t sinkSeek(sf_count_t offset, int whence, void* user) {
    return lseek(static_cast<AudioWriter::Sink*>(user)->descriptor, offset, whence);
}

sf_count_t sinkRead(void* bytes, sf_count_t count, void* user) {
    auto* sink = static_cast<AudioWriter::Sink*>(user);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(sink->descriptor, static_cast<char*>(bytes) + done,
                                   static_cast<size_t>(count - done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

sf_count_t sinkWrite(const void* bytes, sf_count_t count, void* user) {
    auto* sink = static_cast<AudioWriter::Sink*>(user);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(sink->descriptor, static_cast<const char*>(bytes) + done,
                                    static_cast<size_t>(count - done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (sink->error == 0) sink->error = put < 0 ? errno : ENOSPC;
            break;
        }
        done += put;
    }
    return done;
}

sf_count_t sinkTell(void* user) {
    return lseek(static_cast<AudioWriter::Sink*>(user)->descriptor, 0, SEEK_CUR);
}

SF_VIRTUAL_IO sinkIo{sinkLength, sinkSeek, sinkRead, sinkWrite, sinkTell};

int64_t countNonFinite(const float* samples, size_t count) {
    int64_t found = 0;
    for (size_t i = 0; i < count; ++i)
        found += !std::isfinite(samples[i]);
    return found;
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

AudioReader::AudioReader(const std::string& path, bool noFrames) : path_(path) {
    // Open: name the file's problem before libsndfile's more general one.
    checkReadable(path);
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_)
        throw fileError(kExitInput, path,
                        std::string("not a readable audio file (") + sf_strerror(nullptr) + ")");

    // Check: a stream of known length, with at least one frame unless none will do.
    if (info_.frames < (noFrames ? 0 : 1) || info_.channels <= 0 || info_.samplerate <= 0) {
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
    if (bits_ == 0) {
        const int64_t got = sf_readf_float(file_, interleaved, count);
        if (got > 0)
            nonFinite_ += countNonFinite(interleaved, static_cast<size_t>(got) * info_.channels);
        return got;
    }

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

AudioWriter::AudioWriter(OutputFile& file, int sampleRate, int channels, int format)
    : output_(&file), channels_(channels), bits_(integerBits(format)) {
    open(sampleRate, channels, format);
}

AudioWriter::AudioWriter(const std::string& path, int sampleRate, int channels, int format)
    : own_(std::make_unique<OutputSet>()), channels_(channels), bits_(integerBits(format)) {
    output_ = &own_->add(path);
    open(sampleRate, channels, format);
}

void AudioWriter::open(int sampleRate, int channels, int format) {
    // Check: libsndfile must be able to write this format with this layout.
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info))
        throw fileError(kExitOutput, output_->destination(),
                        "cannot be written as " + describeFormat(format) + " with " +
                            std::to_string(channels) + " channels");

    // Open: into the temporary file, through the sink that keeps every write error.
    sink_.descriptor = output_->descriptor();
    file_ = sf_open_virtual(&sinkIo, SFM_WRITE, &info, &sink_);
    if (!file_) fail("cannot be written", sf_strerror(nullptr));
    // Encodings other than plain integers (companded, adaptive) clip in libsndfile.
    if (bits_ == 0 && (format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT &&
        (format & SF_FORMAT_SUBMASK) != SF_FORMAT_DOUBLE)
        sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter() {
    if (file_) sf_close(file_);
}

void AudioWriter::fail(const std::string& what, const char* libraryText) const {
    // The system's reason when there is one: libsndfile's own text is vaguer or missing.
    throw fileError(kExitOutput, output_->destination(),
                    what + " (" + (sink_.error != 0 ? std::strerror(sink_.error) : libraryText) +
                        ")");
}

void AudioWriter::write(const float* interleaved, int64_t count) {
    const size_t samples = static_cast<size_t>(count) * static_cast<size_t>(channels_);
    nonFinite_ += countNonFinite(interleaved, samples);
    int64_t written = 0;
    if (bits_ == 0) {
        written = sf_writef_float(file_, interleaved, count);
    } else {
        // Integer files: round to the file's own step and clip at full scale.
        if (scratch_.size() < samples) scratch_.resize(samples);
        for (size_t i = 0; i < samples; ++i)
            scratch_[i] = toInteger(interleaved[i], bits_);
        written = sf_writef_int(file_, scratch_.data(), count);
    }
    if (written != count || sink_.error != 0 || sf_error(file_) != SF_ERR_NO_ERROR)
        fail("cannot be written", sf_strerror(file_));
}

void AudioWriter::finish() {
    if (!file_) return;
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0 || sink_.error != 0) fail("cannot be written", sf_error_number(closed));
    output_->finish();
}

void AudioWriter::commit() {
    finish();
    if (own_) own_->commit();
}

} // namespace quorvane::cli
