#include "keystream.h"

#include "toolerror.h"

#include <cmath>

namespace quorvane::cli {
namespace {

constexpr size_t kFileChunk = 4096; // key file frames read at a time for the resampler

} // namespace

KeyStream::KeyStream(const std::string& path, int rate) : reader_(path, true) {
    if (reader_.sampleRate() == rate) {
        frames_ = reader_.frames();
        return;
    }
    // High quality, one thread: the same key gives the same samples on every run.
    frames_ = static_cast<int64_t>(
        std::llround(static_cast<double>(reader_.frames()) * rate / reader_.sampleRate()));
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    resampler_ = soxr_create(reader_.sampleRate(), rate, static_cast<unsigned>(channels()), &error,
                             &io, &quality, &runtime);
    if (!resampler_ || error)
        throw fileError(kExitInput, path,
                        "cannot be resampled from " + std::to_string(reader_.sampleRate()) +
                            " to " + std::to_string(rate) + " Hz (" +
                            (error ? error : "unknown reason") + ")");
    pending_.resize(kFileChunk * static_cast<size_t>(channels()));
}

KeyStream::~KeyStream() {
    if (resampler_) soxr_delete(resampler_);
}

int64_t KeyStream::read(float* interleaved, int64_t count) {
    if (!resampler_) return reader_.read(interleaved, count);

    const size_t channels = static_cast<size_t>(this->channels());
    int64_t produced = 0;
    while (produced < count && !drained_) {
        // Refill from the file once the resampler has taken everything read so far.
        if (pendingAt_ == pendingFrames_ && !fileEnded_) {
            const int64_t got = reader_.read(pending_.data(), kFileChunk);
            pendingFrames_ = static_cast<size_t>(std::max<int64_t>(got, 0));
            pendingAt_ = 0;
            fileEnded_ = pendingFrames_ == 0;
        }
        // At the end of the file a null input lets the resampler give out what it holds.
        const bool flushing = fileEnded_;
        size_t taken = 0, given = 0;
        const soxr_error_t error =
            soxr_process(resampler_, flushing ? nullptr : pending_.data() + pendingAt_ * channels,
                         flushing ? 0 : pendingFrames_ - pendingAt_, &taken,
                         interleaved + static_cast<size_t>(produced) * channels,
                         static_cast<size_t>(count - produced), &given);
        if (error)
            throw fileError(kExitInput, path(), std::string("cannot be resampled (") + error + ")");
        pendingAt_ += taken;
        produced += static_cast<int64_t>(given);
        if (flushing && given == 0) drained_ = true;
    }
    return produced;
}

} // namespace quorvane::cli
