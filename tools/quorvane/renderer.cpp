#include "renderer.h"

#include "audiofile.h"
#include "interrupt.h"
#include "keystream.h"
#include "outputfile.h"
#include "pluginmodule.h"
#include "progressbar.h"
#include "toolerror.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

namespace quorvane::cli {
namespace {

// Frames handed from stage to stage at a time: whole blocks, enough of them that a chunk's work
// outweighs waking a thread.
constexpr int32_t kChunkFrames = 16384;
// Chunks in flight at once: one being read, one or two processed, one written.
constexpr int kChunksInFlight = 4;

using Instances = std::vector<std::unique_ptr<PluginInstance>>;

// Every target differs from the inputs and from the other targets.
void checkTargets(const RenderTargets& targets, const std::string& key, const std::string& input) {
    for (const std::string* target : {&targets.output, &targets.mix}) {
        if (target->empty()) continue;
        for (const std::string* source : {&key, &input})
            if (samePath(*target, *source))
                throw fileError(kExitUsage, *target,
                                "is the same file as " +
                                    std::string(source == &key ? "KEY" : "INPUT") +
                                    "; choose another output file");
    }
    if (!targets.output.empty() && !targets.mix.empty() && samePath(targets.output, targets.mix))
        throw fileError(kExitUsage, targets.mix, "is named twice; choose another file");
    for (const std::string* target : {&targets.output, &targets.mix})
        if (!target->empty()) checkOutputExtension(*target);
}

// One instance per input channel, each with the key on input 0 and the channel on input 1.
Instances createInstances(const PluginModule& module, int channels, const HostSettings& host) {
    Instances instances;
    for (int c = 0; c < channels; ++c) {
        instances.push_back(std::make_unique<PluginInstance>(module, host));
        const AEffect& effect = instances.back()->effect();
        if (effect.numInputs < 2 || effect.numOutputs < 2)
            throw fileError(kExitPlugin, module.path(),
                            "has " + std::to_string(effect.numInputs) + " inputs and " +
                                std::to_string(effect.numOutputs) +
                                " outputs; a key and a signal need at least 2 of each");
        instances.back()->prepare(host.blockSize);
    }
    return instances;
}

// Reads up to want frames into buffer and fills the rest of its frames with silence.
template <typename Source>
void readOrSilence(Source& source, int channels, std::vector<float>& buffer, int32_t want) {
    const int64_t got = want > 0 ? std::max<int64_t>(source.read(buffer.data(), want), 0) : 0;
    std::fill(buffer.begin() + static_cast<ptrdiff_t>(got * channels), buffer.end(), 0.0f);
}

float mean(const float* frame, int channels) {
    float sum = 0.0f;
    for (int c = 0; c < channels; ++c)
        sum += frame[c];
    return sum / static_cast<float>(channels);
}

int32_t clampFrames(int64_t left, int32_t n) {
    return static_cast<int32_t>(std::clamp<int64_t>(left, 0, n));
}

// One input channel's instance, and the key's delay for the mix. A lane is used by one thread at
// a time, chunk after chunk, so its state carries on from one chunk to the next.
class Lane {
public:
    Lane(PluginInstance& instance, int32_t latency, bool mix)
        : instance_(instance), delayLine_(mix ? static_cast<size_t>(latency) : 0, 0.0f) {}

    // Runs frames of key and signal through the instance in blocks into ducked; with a mix,
    // adds the key to the ducked signal, delayed as the plug-in delays the signal.
    void run(const float* key, const float* signal, float* ducked, float* mix, int32_t frames,
             int32_t block) {
        for (int32_t at = 0; at < frames; at += block) {
            const int32_t n = std::min(block, frames - at);
            std::copy_n(key + at, n, instance_.input(0));
            std::copy_n(signal + at, n, instance_.input(1));
            instance_.process(n);
            std::copy_n(instance_.output(1), n, ducked + at);
        }
        if (mix == nullptr) return;
        for (int32_t i = 0; i < frames; ++i) {
            float delayed = key[i];
            if (!delayLine_.empty()) {
                std::swap(delayed, delayLine_[delayAt_]);
                delayAt_ = (delayAt_ + 1) % delayLine_.size();
            }
            mix[i] = delayed + ducked[i];
        }
    }

private:
    PluginInstance& instance_;
    std::vector<float> delayLine_;
    size_t delayAt_ = 0;
};

// A stretch of the stream on its way through the render: read and split into channels, run
// through the lanes, joined and written. Channel c of the per-lane buffers starts at c * capacity.
struct Chunk {
    Chunk(int32_t capacity, int channels, int keyChannels, bool mix)
        : capacity(capacity), input(size(capacity, channels)), key(size(capacity, keyChannels)),
          laneKey(size(capacity, channels)), laneSignal(size(capacity, channels)),
          laneDucked(size(capacity, channels)), laneMix(mix ? size(capacity, channels) : 0),
          output(size(capacity, channels)), mix(mix ? size(capacity, channels) : 0) {}
    static size_t size(int32_t frames, int channels) {
        return static_cast<size_t>(frames) * static_cast<size_t>(channels);
    }
    float* lane(std::vector<float>& buffer, int c) {
        return buffer.empty() ? nullptr : &buffer[size(capacity, c)];
    }

    int32_t capacity;
    int64_t start = 0;             // the plug-in's time of the first frame
    int32_t frames = 0;            // frames in hand
    std::vector<float> input, key; // interleaved as read, silence beyond their ends
    std::vector<float> laneKey, laneSignal, laneDucked, laneMix;
    std::vector<float> output, mix; // interleaved as written
};

// Blocks the signals that end the process while helper threads start, so that they inherit the
// mask and every such signal reaches the main thread, which polls for it between chunks. Faults
// stay with the thread that causes them.
class HelperSignalMask {
public:
    HelperSignalMask() {
        sigset_t blocked;
        sigfillset(&blocked);
        for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS})
            sigdelset(&blocked, fault);
        pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
    }
    ~HelperSignalMask() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HelperSignalMask(const HelperSignalMask&) = delete;
    HelperSignalMask& operator=(const HelperSignalMask&) = delete;

private:
    sigset_t previous_;
};

// The steps of a render and how far each has got: chunk k is read, then run through every lane
// (each lane takes its chunks in order), then written, in order. A fixed number of chunks is in
// flight. Every thread takes the next step that is ready, so no core waits while there is work;
// writing stays with the main thread, where the observer, the output files and the signals are.
class Schedule {
public:
    enum class Kind { None, Read, Process, Write };
    struct Step {
        Kind kind = Kind::None;
        int64_t chunk = 0;
        int lane = 0;
    };

    Schedule(int64_t chunks, int lanes, int inFlight)
        : chunks_(chunks), inFlight_(inFlight), laneNext_(static_cast<size_t>(lanes), 0),
          laneBusy_(static_cast<size_t>(lanes), false) {}

    // Waits for a step that is ready and takes it; Kind::None when all is done, stop was asked
    // for or a step failed (which the main thread then rethrows).
    Step take(bool main, std::stop_token stop = {}) {
        std::unique_lock lock(mutex_);
        Step step;
        changed_.wait(lock, stop, [&] {
            step = ready(main);
            return step.kind != Kind::None || failure_ || written_ == chunks_;
        });
        if (main && failure_) std::rethrow_exception(failure_);
        if (failure_) step.kind = Kind::None;
        mark(step, true);
        return step;
    }
    // Marks a step taken by take() as done.
    void done(const Step& step) {
        {
            std::lock_guard lock(mutex_);
            mark(step, false);
        }
        changed_.notify_all();
    }
    void fail(std::exception_ptr failure) {
        {
            std::lock_guard lock(mutex_);
            if (!failure_) failure_ = failure;
        }
        changed_.notify_all();
    }

private:
    // Writing first (it frees a chunk), then the lane furthest behind, then reading ahead.
    Step ready(bool main) const {
        const int64_t processed = *std::min_element(laneNext_.begin(), laneNext_.end());
        if (main && !writing_ && written_ < chunks_ && processed > written_)
            return {Kind::Write, written_, 0};
        int lane = -1;
        for (size_t c = 0; c < laneNext_.size(); ++c)
            if (!laneBusy_[c] && laneNext_[c] < read_ &&
                (lane < 0 || laneNext_[c] < laneNext_[static_cast<size_t>(lane)]))
                lane = static_cast<int>(c);
        if (lane >= 0) return {Kind::Process, laneNext_[static_cast<size_t>(lane)], lane};
        if (!reading_ && read_ < chunks_ && read_ - written_ < inFlight_)
            return {Kind::Read, read_, 0};
        return {};
    }
    void mark(const Step& step, bool taken) {
        switch (step.kind) {
        case Kind::Read:
            reading_ = taken;
            if (!taken) ++read_;
            break;
        case Kind::Process:
            laneBusy_[static_cast<size_t>(step.lane)] = taken;
            if (!taken) ++laneNext_[static_cast<size_t>(step.lane)];
            break;
        case Kind::Write:
            writing_ = taken;
            if (!taken) ++written_;
            break;
        case Kind::None:
            break;
        }
    }

    const int64_t chunks_;
    const int64_t inFlight_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    int64_t read_ = 0, written_ = 0;
    bool reading_ = false, writing_ = false;
    std::vector<int64_t> laneNext_;
    std::vector<bool> laneBusy_;
    std::exception_ptr failure_;
};

// The streaming loop: the plug-in's time runs over the input and then N more frames, a chunk at
// a time. On one thread each chunk is read, processed and written in turn. With more, the steps
// overlap on a schedule: reading ahead, the lanes side by side and writing behind them. Every
// lane sees the same frames in the same blocks either way, so the output has the same bits.
class RenderLoop {
public:
    RenderLoop(KeyStream& key, AudioReader& input, Instances& instances, int32_t latency,
               const RenderSettings& settings, AudioWriter* output, AudioWriter* mix,
               RenderObserver* observer)
        : key_(key), input_(input), latency_(latency), settings_(settings), output_(output),
          mixOutput_(mix), observer_(observer), channels_(input.channels()),
          block_(settings.blockSize),
          chunk_(block_ * std::max<int32_t>(1, (kChunkFrames + block_ - 1) / block_)),
          length_(input.frames()), keyLength_(std::min(key.frames(), length_)),
          total_(length_ + latency), keyMono_(static_cast<size_t>(chunk_)),
          inputMono_(static_cast<size_t>(chunk_)), outputMono_(static_cast<size_t>(chunk_)) {
        for (auto& instance : instances)
            lanes_.emplace_back(*instance, latency, mix != nullptr);
    }

    // Renders on threads threads, the calling one included, and answers the number of frames
    // written.
    int64_t run(int threads) {
        std::optional<ProgressBar> ownBar;
        if (settings_.progressBar == nullptr)
            ownBar.emplace("rendering", total_, double(total_) / input_.sampleRate(),
                           settings_.progress);
        ProgressBar& bar = ownBar ? *ownBar : *settings_.progressBar;
        const auto report = [&](int64_t t) {
            bar.update(ownBar ? t : settings_.progressBase + std::min(t, length_));
        };
        const int64_t written = threads > 1 ? runShared(threads, report) : runInTurn(report);
        if (ownBar) ownBar->finish();
        return written;
    }

private:
    int64_t chunkCount() const { return (total_ + chunk_ - 1) / chunk_; }

    template <typename Report> int64_t runInTurn(const Report& report) {
        Chunk chunk(chunk_, channels_, key_.channels(), mixOutput_ != nullptr);
        int64_t written = 0;
        for (int64_t k = 0; k < chunkCount(); ++k) {
            read(chunk, k);
            for (int c = 0; c < channels_; ++c)
                process(chunk, c);
            written += write(chunk);
            report(chunk.start + chunk.frames);
            throwIfInterrupted();
        }
        return written;
    }

    template <typename Report> int64_t runShared(int threads, const Report& report) {
        std::vector<Chunk> slots;
        for (int i = 0; i < kChunksInFlight; ++i)
            slots.emplace_back(chunk_, channels_, key_.channels(), mixOutput_ != nullptr);
        const auto slot = [&](int64_t k) -> Chunk& {
            return slots[static_cast<size_t>(k % kChunksInFlight)];
        };
        Schedule schedule(chunkCount(), channels_, kChunksInFlight);
        int64_t written = 0;
        const auto perform = [&](const Schedule::Step& step) {
            switch (step.kind) {
            case Schedule::Kind::Read:
                read(slot(step.chunk), step.chunk);
                break;
            case Schedule::Kind::Process:
                process(slot(step.chunk), step.lane);
                break;
            case Schedule::Kind::Write: {
                Chunk& chunk = slot(step.chunk);
                written += write(chunk);
                report(chunk.start + chunk.frames);
                break;
            }
            case Schedule::Kind::None:
                break;
            }
        };
        // Declared last: leaving this function, by return or by exception, stops and joins the
        // helpers before anything they use goes. A helper's failure reaches the main thread at
        // its next step.
        std::vector<std::jthread> helpers;
        {
            HelperSignalMask mask;
            for (int t = 1; t < threads; ++t)
                helpers.emplace_back([&](std::stop_token stop) {
                    try {
                        for (Schedule::Step step;
                             (step = schedule.take(false, stop)).kind != Schedule::Kind::None;) {
                            perform(step);
                            schedule.done(step);
                        }
                    } catch (...) {
                        schedule.fail(std::current_exception());
                    }
                });
        }
        for (Schedule::Step step; (step = schedule.take(true)).kind != Schedule::Kind::None;) {
            perform(step);
            schedule.done(step);
            throwIfInterrupted();
        }
        return written;
    }

    // Reads chunk k and splits it into the lanes' inputs: the key (its own channel, or the mono
    // mix) and the input's channel.
    void read(Chunk& chunk, int64_t k) {
        chunk.start = k * chunk_;
        chunk.frames = static_cast<int32_t>(std::min<int64_t>(chunk_, total_ - chunk.start));
        const int32_t fresh = clampFrames(length_ - chunk.start, chunk.frames);
        readOrSilence(input_, channels_, chunk.input, fresh);
        readOrSilence(key_, key_.channels(), chunk.key,
                      clampFrames(keyLength_ - chunk.start, chunk.frames));
        const int keyChannels = key_.channels();
        const bool perChannel = keyChannels == channels_;
        for (int c = 0; c < channels_; ++c) {
            float* key = chunk.lane(chunk.laneKey, c);
            float* signal = chunk.lane(chunk.laneSignal, c);
            for (int32_t i = 0; i < chunk.frames; ++i) {
                const float* keyFrame = &chunk.key[static_cast<size_t>(i * keyChannels)];
                key[i] = perChannel ? keyFrame[c] : mean(keyFrame, keyChannels);
                signal[i] = chunk.input[static_cast<size_t>(i * channels_ + c)];
            }
        }
    }

    void process(Chunk& chunk, int c) {
        lanes_[static_cast<size_t>(c)].run(
            chunk.lane(chunk.laneKey, c), chunk.lane(chunk.laneSignal, c),
            chunk.lane(chunk.laneDucked, c), chunk.lane(chunk.laneMix, c), chunk.frames, block_);
    }

    // Joins the lanes' outputs, shows them to the observer and writes them; answers the frames
    // written.
    int64_t write(Chunk& chunk) {
        for (int c = 0; c < channels_; ++c) {
            const float* ducked = chunk.lane(chunk.laneDucked, c);
            for (int32_t i = 0; i < chunk.frames; ++i)
                chunk.output[static_cast<size_t>(i * channels_ + c)] = ducked[i];
            if (chunk.mix.empty()) continue;
            const float* mix = chunk.lane(chunk.laneMix, c);
            for (int32_t i = 0; i < chunk.frames; ++i)
                chunk.mix[static_cast<size_t>(i * channels_ + c)] = mix[i];
        }
        observe(chunk);
        return emit(chunk);
    }

    // Mono views for the observer, output shifted back by the latency.
    void observe(const Chunk& chunk) {
        if (!observer_) return;
        const int32_t fresh = clampFrames(length_ - chunk.start, chunk.frames);
        for (int32_t i = 0; i < fresh; ++i) {
            keyMono_[i] =
                mean(&chunk.key[static_cast<size_t>(i * key_.channels())], key_.channels());
            inputMono_[i] = mean(&chunk.input[static_cast<size_t>(i * channels_)], channels_);
        }
        if (fresh > 0) observer_->inputFrames(keyMono_.data(), inputMono_.data(), fresh);
        const int32_t skip = clampFrames(latency_ - chunk.start, chunk.frames);
        for (int32_t i = skip; i < chunk.frames; ++i)
            outputMono_[i - skip] =
                mean(&chunk.output[static_cast<size_t>(i * channels_)], channels_);
        if (chunk.frames > skip) observer_->outputFrames(outputMono_.data(), chunk.frames - skip);
    }

    // Writes the chunk, less the first N frames of the whole stream when compensating.
    int64_t emit(const Chunk& chunk) {
        const int32_t skip =
            settings_.compensateLatency ? clampFrames(latency_ - chunk.start, chunk.frames) : 0;
        if (chunk.frames <= skip) return 0;
        const size_t from = static_cast<size_t>(skip * channels_);
        if (output_) output_->write(&chunk.output[from], chunk.frames - skip);
        if (mixOutput_) mixOutput_->write(&chunk.mix[from], chunk.frames - skip);
        return chunk.frames - skip;
    }

    KeyStream& key_;
    AudioReader& input_;
    const int32_t latency_;
    const RenderSettings& settings_;
    AudioWriter* output_;
    AudioWriter* mixOutput_;
    RenderObserver* observer_;
    const int channels_;
    const int32_t block_;
    const int32_t chunk_;
    const int64_t length_;    // input frames
    const int64_t keyLength_; // key frames used
    const int64_t total_;     // frames of the plug-in's time
    std::vector<Lane> lanes_;
    std::vector<float> keyMono_, inputMono_, outputMono_;
};

// Threads for the render: as many as asked (default one per processor), at most one per
// channel and one each for reading and writing.
int threadCount(int jobs, int channels) {
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    return std::clamp(jobs > 0 ? jobs : cores, 1, std::max(channels, 1) + 2);
}

} // namespace

RenderResult renderFiles(const std::string& keyPath, const std::string& inputPath,
                         const RenderTargets& targets, const RenderSettings& settings,
                         RenderObserver* observer, OutputSet* outputs) {
    const auto start = std::chrono::steady_clock::now();

    // Inputs: readable audio; the key in the input's time.
    checkTargets(targets, keyPath, inputPath);
    AudioReader input(inputPath);
    KeyStream key(keyPath, input.sampleRate());

    // Outputs: every format known, then every file started in its temporary place, all before
    // the module is even loaded.
    int formats[2] = {};
    const std::string* paths[2] = {&targets.output, &targets.mix};
    for (int i = 0; i < 2; ++i)
        if (!paths[i]->empty())
            formats[i] = chooseOutputFormat(*paths[i], input.format(), input.channels(),
                                            input.sampleRate(), settings.bits);
    OutputSet ownOutputs;
    OutputSet& files = outputs ? *outputs : ownOutputs;
    std::unique_ptr<AudioWriter> writers[2];
    for (int i = 0; i < 2; ++i)
        if (!paths[i]->empty())
            writers[i] = std::make_unique<AudioWriter>(files.add(*paths[i]), input.sampleRate(),
                                                       input.channels(), formats[i]);
    AudioWriter* const output = writers[0].get();
    AudioWriter* const mix = writers[1].get();

    if (observer) observer->begin(input.sampleRate(), input.frames());

    // Plug-in: one instance per channel, told the file's rate and the block size.
    PluginModule module(pluginPathOrDefault(settings.pluginPath));
    const HostSettings host{static_cast<float>(input.sampleRate()), settings.blockSize};
    RenderResult result;
    result.frames = input.frames();
    result.sampleRate = input.sampleRate();
    result.keySampleRate = key.fileRate();
    result.channels = input.channels();
    {
        Instances instances = createInstances(module, input.channels(), host);
        result.latency = std::max(instances.front()->latencyAtCreation(), 0);
        for (auto& instance : instances)
            instance->resume();

        // Stream, then let the threads and instances go before the module is unloaded.
        result.threads = threadCount(settings.jobs, input.channels());
        RenderLoop loop(key, input, instances, result.latency, settings, output, mix, observer);
        result.written = loop.run(result.threads);
    }

    // Finish: every file complete before any appears under its name.
    for (AudioWriter* writer : {output, mix})
        if (writer) writer->finish();
    result.keyNonFinite = key.nonFiniteSamples();
    result.inputNonFinite = input.nonFiniteSamples();
    result.outputNonFinite = output ? output->nonFiniteSamples() : 0;
    result.mixNonFinite = mix ? mix->nonFiniteSamples() : 0;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (observer) observer->end(result);
    if (!outputs) ownOutputs.commit();
    return result;
}

} // namespace quorvane::cli
