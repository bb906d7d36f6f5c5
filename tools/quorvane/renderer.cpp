#include "renderer.h"

#include "audiofile.h"
#include "interrupt.h"
#include "keystream.h"
#include "outputfile.h"
#include "pluginmodule.h"
#include "progressbar.h"
#include "toolerror.h"
#include "workerteam.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace quorvane::cli {
namespace {

// Frames handed to the threads at a time: whole blocks, enough of them that a round of work
// outweighs waking the threads.
constexpr int32_t kChunkFrames = 8192;

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

// One input channel's way through its instance, a chunk at a time. Each lane is touched by one
// thread during a round and by the main thread between rounds.
class Lane {
public:
    Lane(PluginInstance& instance, int32_t chunk, int32_t latency, bool mix)
        : instance_(instance), key_(static_cast<size_t>(chunk)),
          signal_(static_cast<size_t>(chunk)), ducked_(static_cast<size_t>(chunk)),
          mix_(mix ? static_cast<size_t>(chunk) : 0),
          delayLine_(mix ? static_cast<size_t>(latency) : 0, 0.0f) {}

    float* key() { return key_.data(); }
    float* signal() { return signal_.data(); }
    const float* ducked() const { return ducked_.data(); }
    const float* mix() const { return mix_.data(); }

    // Runs frames through the instance in blocks, then adds the key, delayed as the plug-in
    // delays the signal, for the mix.
    void run(int32_t frames, int32_t block) {
        for (int32_t at = 0; at < frames; at += block) {
            const int32_t n = std::min(block, frames - at);
            std::copy_n(&key_[static_cast<size_t>(at)], n, instance_.input(0));
            std::copy_n(&signal_[static_cast<size_t>(at)], n, instance_.input(1));
            instance_.process(n);
            std::copy_n(instance_.output(1), n, &ducked_[static_cast<size_t>(at)]);
        }
        if (mix_.empty()) return;
        for (int32_t i = 0; i < frames; ++i) {
            float delayed = key_[static_cast<size_t>(i)];
            if (!delayLine_.empty()) {
                std::swap(delayed, delayLine_[delayAt_]);
                delayAt_ = (delayAt_ + 1) % delayLine_.size();
            }
            mix_[static_cast<size_t>(i)] = delayed + ducked_[static_cast<size_t>(i)];
        }
    }

private:
    PluginInstance& instance_;
    std::vector<float> key_, signal_, ducked_, mix_;
    std::vector<float> delayLine_;
    size_t delayAt_ = 0;
};

// The streaming loop: the plug-in's time runs over the input and then N more frames.
class RenderLoop {
public:
    RenderLoop(KeyStream& key, AudioReader& input, Instances& instances, int32_t latency,
               const RenderSettings& settings, AudioWriter* output, AudioWriter* mix,
               RenderObserver* observer, WorkerTeam& team)
        : key_(key), input_(input), latency_(latency), settings_(settings), output_(output),
          mixOutput_(mix), observer_(observer), team_(team), channels_(input.channels()),
          block_(settings.blockSize),
          chunk_(block_ * std::max<int32_t>(1, (kChunkFrames + block_ - 1) / block_)),
          inputBuffer_(static_cast<size_t>(chunk_ * channels_)),
          keyBuffer_(static_cast<size_t>(chunk_ * key.channels())),
          outputBuffer_(static_cast<size_t>(chunk_ * channels_)),
          mixBuffer_(mix ? static_cast<size_t>(chunk_ * channels_) : 0),
          keyMono_(static_cast<size_t>(chunk_)), inputMono_(static_cast<size_t>(chunk_)),
          outputMono_(static_cast<size_t>(chunk_)) {
        for (auto& instance : instances)
            lanes_.emplace_back(*instance, chunk_, latency, mix != nullptr);
    }

    // Answers the number of frames written.
    int64_t run() {
        const int64_t length = input_.frames();
        const int64_t keyLength = std::min(key_.frames(), length);
        const int64_t total = length + latency_;
        ProgressBar progress("rendering", total, double(total) / input_.sampleRate(),
                             settings_.progress);
        const std::function<void(int)> runLane = [this](int c) { lanes_[c].run(frames_, block_); };
        int64_t written = 0;
        for (int64_t t = 0; t < total;) {
            frames_ = static_cast<int32_t>(std::min<int64_t>(chunk_, total - t));
            readOrSilence(input_, channels_, inputBuffer_, clampFrames(length - t, frames_));
            readOrSilence(key_, key_.channels(), keyBuffer_, clampFrames(keyLength - t, frames_));
            feed();
            team_.run(channels_, runLane);
            gather();
            observe(t, length);
            written += emit(t);
            t += frames_;
            progress.update(t);
            throwIfInterrupted();
        }
        progress.finish();
        return written;
    }

private:
    // Inputs: the key (its own channel, or the mono mix) on 0, the input channel on 1.
    void feed() {
        const int keyChannels = key_.channels();
        const bool perChannel = keyChannels == channels_;
        for (int c = 0; c < channels_; ++c) {
            float* key = lanes_[c].key();
            float* signal = lanes_[c].signal();
            for (int32_t i = 0; i < frames_; ++i) {
                const float* keyFrame = &keyBuffer_[static_cast<size_t>(i * keyChannels)];
                key[i] = perChannel ? keyFrame[c] : mean(keyFrame, keyChannels);
                signal[i] = inputBuffer_[static_cast<size_t>(i * channels_ + c)];
            }
        }
    }

    // Output 1 of every instance and the mix, interleaved.
    void gather() {
        for (int c = 0; c < channels_; ++c) {
            const float* ducked = lanes_[c].ducked();
            for (int32_t i = 0; i < frames_; ++i)
                outputBuffer_[static_cast<size_t>(i * channels_ + c)] = ducked[i];
            if (mixBuffer_.empty()) continue;
            const float* mix = lanes_[c].mix();
            for (int32_t i = 0; i < frames_; ++i)
                mixBuffer_[static_cast<size_t>(i * channels_ + c)] = mix[i];
        }
    }

    // Mono views for the observer, output shifted back by the latency.
    void observe(int64_t t, int64_t length) {
        if (!observer_) return;
        const int32_t fresh = clampFrames(length - t, frames_);
        for (int32_t i = 0; i < fresh; ++i) {
            keyMono_[i] =
                mean(&keyBuffer_[static_cast<size_t>(i * key_.channels())], key_.channels());
            inputMono_[i] = mean(&inputBuffer_[static_cast<size_t>(i * channels_)], channels_);
        }
        if (fresh > 0) observer_->inputFrames(keyMono_.data(), inputMono_.data(), fresh);
        const int32_t skip = clampFrames(latency_ - t, frames_);
        for (int32_t i = skip; i < frames_; ++i)
            outputMono_[i - skip] =
                mean(&outputBuffer_[static_cast<size_t>(i * channels_)], channels_);
        if (frames_ > skip) observer_->outputFrames(outputMono_.data(), frames_ - skip);
    }

    // Writes the chunk, less the first N frames of the whole stream when compensating.
    int64_t emit(int64_t t) {
        const int32_t skip = settings_.compensateLatency ? clampFrames(latency_ - t, frames_) : 0;
        if (frames_ <= skip) return 0;
        const size_t from = static_cast<size_t>(skip * channels_);
        if (output_) output_->write(&outputBuffer_[from], frames_ - skip);
        if (mixOutput_) mixOutput_->write(&mixBuffer_[from], frames_ - skip);
        return frames_ - skip;
    }

    KeyStream& key_;
    AudioReader& input_;
    const int32_t latency_;
    const RenderSettings& settings_;
    AudioWriter* output_;
    AudioWriter* mixOutput_;
    RenderObserver* observer_;
    WorkerTeam& team_;
    const int channels_;
    const int32_t block_;
    const int32_t chunk_;
    int32_t frames_ = 0; // of the chunk in hand
    std::vector<Lane> lanes_;
    std::vector<float> inputBuffer_, keyBuffer_, outputBuffer_, mixBuffer_;
    std::vector<float> keyMono_, inputMono_, outputMono_;
};

int threadCount(int jobs, int channels) {
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    return std::clamp(jobs > 0 ? jobs : cores, 1, std::max(channels, 1));
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

        // Stream on the team, then let the threads and instances go before the module is
        // unloaded.
        WorkerTeam team(threadCount(settings.jobs, input.channels()));
        result.threads = team.threads();
        RenderLoop loop(key, input, instances, result.latency, settings, output, mix, observer,
                        team);
        result.written = loop.run();
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
