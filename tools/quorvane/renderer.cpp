#include "renderer.h"

#include "audiofile.h"
#include "interrupt.h"
#include "outputfile.h"
#include "pluginmodule.h"
#include "progressbar.h"
#include "toolerror.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace quorvane::cli {
namespace {

using Instances = std::vector<std::unique_ptr<PluginInstance>>;

void checkOutputPath(const std::string& output, const std::string& key, const std::string& input) {
    if (output.empty()) return;
    for (const std::string* source : {&key, &input})
        if (samePath(output, *source))
            throw fileError(kExitUsage, output,
                            "is the same file as " + std::string(source == &key ? "KEY" : "INPUT") +
                                "; choose another output file");
}

void checkRates(const AudioReader& key, const AudioReader& input) {
    if (key.sampleRate() != input.sampleRate())
        throw fileError(kExitInput, key.path(),
                        "sample rate " + std::to_string(key.sampleRate()) + " Hz differs from " +
                            input.path() + " at " + std::to_string(input.sampleRate()) + " Hz");
}

// OUTPUT takes INPUT's format, so INPUT must be in one that libsndfile can also write.
void checkWritable(const AudioReader& input) {
    SF_INFO info{};
    info.samplerate = input.sampleRate();
    info.channels = input.channels();
    info.format = input.format();
    if (!sf_format_check(&info))
        throw fileError(kExitInput, input.path(),
                        "its format (" + describeFormat(input.format()) + ", " +
                            std::to_string(input.channels()) +
                            " channels) can be read but not written");
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

// Reads up to want frames into buffer and fills whatever the file did not deliver with silence.
void readOrSilence(AudioReader& reader, std::vector<float>& buffer, int32_t want, int32_t block) {
    const size_t channels = static_cast<size_t>(reader.channels());
    const int64_t got = want > 0 ? std::max<int64_t>(reader.read(buffer.data(), want), 0) : 0;
    std::fill(buffer.begin() + static_cast<ptrdiff_t>(got * channels),
              buffer.begin() + static_cast<ptrdiff_t>(block * channels), 0.0f);
}

float mean(const float* frame, int channels) {
    float sum = 0.0f;
    for (int c = 0; c < channels; ++c)
        sum += frame[c];
    return sum / static_cast<float>(channels);
}

// The streaming loop: the plug-in's time runs over the input and then N more frames.
class RenderLoop {
public:
    RenderLoop(AudioReader& key, AudioReader& input, Instances& instances, int32_t latency,
               const RenderSettings& settings, AudioWriter* writer, RenderObserver* observer)
        : key_(key), input_(input), instances_(instances), latency_(latency), settings_(settings),
          writer_(writer), observer_(observer), channels_(input.channels()),
          block_(settings.blockSize), inputBuffer_(static_cast<size_t>(block_ * channels_)),
          keyBuffer_(static_cast<size_t>(block_ * key.channels())),
          outputBuffer_(static_cast<size_t>(block_ * channels_)),
          keyMono_(static_cast<size_t>(block_)), inputMono_(static_cast<size_t>(block_)),
          outputMono_(static_cast<size_t>(block_)) {}

    // Answers the number of frames written.
    int64_t run() {
        const int64_t length = input_.frames();
        const int64_t keyLength = std::min(key_.frames(), length);
        const int64_t total = length + latency_;
        ProgressBar progress("rendering", total, double(total) / input_.sampleRate(),
                             settings_.progress);
        int64_t written = 0;
        for (int64_t t = 0; t < total;) {
            const int32_t n = static_cast<int32_t>(std::min<int64_t>(block_, total - t));
            readOrSilence(input_, inputBuffer_, clampFrames(length - t, n), block_);
            readOrSilence(key_, keyBuffer_, clampFrames(keyLength - t, n), block_);
            feed(n);
            for (auto& instance : instances_)
                instance->process(n);
            gather(n);
            observe(t, length, n);
            written += emit(t, n);
            t += n;
            progress.update(t);
            throwIfInterrupted();
        }
        progress.finish();
        return written;
    }

private:
    static int32_t clampFrames(int64_t left, int32_t n) {
        return static_cast<int32_t>(std::clamp<int64_t>(left, 0, n));
    }

    // Inputs: the key (its own channel, or the mono mix) on 0, the input channel on 1.
    void feed(int32_t n) {
        const int keyChannels = key_.channels();
        const bool perChannel = keyChannels == channels_;
        for (int c = 0; c < channels_; ++c) {
            float* keyPin = instances_[c]->input(0);
            float* signalPin = instances_[c]->input(1);
            for (int32_t i = 0; i < n; ++i) {
                const float* keyFrame = &keyBuffer_[static_cast<size_t>(i * keyChannels)];
                keyPin[i] = perChannel ? keyFrame[c] : mean(keyFrame, keyChannels);
                signalPin[i] = inputBuffer_[static_cast<size_t>(i * channels_ + c)];
            }
        }
    }

    // Output 1 of every instance, interleaved.
    void gather(int32_t n) {
        for (int c = 0; c < channels_; ++c) {
            const float* out = instances_[c]->output(1);
            for (int32_t i = 0; i < n; ++i)
                outputBuffer_[static_cast<size_t>(i * channels_ + c)] = out[i];
        }
    }

    // Mono views for the observer, output shifted back by the latency.
    void observe(int64_t t, int64_t length, int32_t n) {
        if (!observer_) return;
        const int32_t fresh = clampFrames(length - t, n);
        for (int32_t i = 0; i < fresh; ++i) {
            keyMono_[i] =
                mean(&keyBuffer_[static_cast<size_t>(i * key_.channels())], key_.channels());
            inputMono_[i] = mean(&inputBuffer_[static_cast<size_t>(i * channels_)], channels_);
        }
        if (fresh > 0) observer_->inputFrames(keyMono_.data(), inputMono_.data(), fresh);
        const int32_t skip = clampFrames(latency_ - t, n);
        for (int32_t i = skip; i < n; ++i)
            outputMono_[i - skip] =
                mean(&outputBuffer_[static_cast<size_t>(i * channels_)], channels_);
        if (n > skip) observer_->outputFrames(outputMono_.data(), n - skip);
    }

    // Writes the block, less the first N frames of the whole stream when compensating.
    int64_t emit(int64_t t, int32_t n) {
        if (!writer_) return 0;
        const int32_t skip = settings_.compensateLatency ? clampFrames(latency_ - t, n) : 0;
        if (n > skip)
            writer_->write(&outputBuffer_[static_cast<size_t>(skip * channels_)], n - skip);
        return n - skip;
    }

    AudioReader& key_;
    AudioReader& input_;
    Instances& instances_;
    const int32_t latency_;
    const RenderSettings& settings_;
    AudioWriter* writer_;
    RenderObserver* observer_;
    const int channels_;
    const int32_t block_;
    std::vector<float> inputBuffer_, keyBuffer_, outputBuffer_;
    std::vector<float> keyMono_, inputMono_, outputMono_;
};

} // namespace

RenderResult renderFiles(const std::string& keyPath, const std::string& inputPath,
                         const std::string& outputPath, const RenderSettings& settings,
                         RenderObserver* observer) {
    const auto start = std::chrono::steady_clock::now();

    // Inputs: both readable audio at one sample rate, and the output a different file.
    checkOutputPath(outputPath, keyPath, inputPath);
    AudioReader input(inputPath);
    AudioReader key(keyPath);
    checkRates(key, input);
    if (!outputPath.empty()) checkWritable(input);

    if (observer) observer->begin(input.sampleRate(), input.frames());

    // Output: started in its temporary place, in INPUT's rate, channel count and format.
    std::unique_ptr<AudioWriter> writer;
    if (!outputPath.empty())
        writer = std::make_unique<AudioWriter>(outputPath, input.sampleRate(), input.channels(),
                                               input.format());

    // Plug-in: one instance per channel, told the file's rate and the block size.
    PluginModule module(pluginPathOrDefault(settings.pluginPath));
    const HostSettings host{static_cast<float>(input.sampleRate()), settings.blockSize};
    RenderResult result;
    {
        Instances instances = createInstances(module, input.channels(), host);
        result.latency = std::max(instances.front()->latencyAtCreation(), 0);
        for (auto& instance : instances)
            instance->resume();

        // Stream, then let the instances go before the module is unloaded.
        RenderLoop loop(key, input, instances, result.latency, settings, writer.get(), observer);
        result.written = loop.run();
    }

    // Finish: the output appears under its name only now.
    if (writer) writer->commit();
    result.frames = input.frames();
    result.sampleRate = input.sampleRate();
    result.channels = input.channels();
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

} // namespace quorvane::cli
