#pragma once
// The format of an audio file the tool writes: the container follows the file's extension, the
// sample format follows the input where the container can hold it, unless the user names one.

#include <string>
#include <vector>

namespace quorvane::cli {

// --bits: keep the input's sample format, or write this one.
enum class SampleBits { Input, Integer16, Integer24, Integer32, Float };

// "16", "24", "32" or "float" to SampleBits; Input for anything else.
SampleBits parseSampleBits(const std::string& text);

// The extensions the installed libsndfile can write, lower case and sorted.
std::vector<std::string> writableExtensions();

// ToolError with kExitUsage naming path when no format is written with its extension.
void checkOutputExtension(const std::string& path);

// The libsndfile format code (container | encoding) for a file at path holding channels at
// sampleRate, rendered from an input in inputFormat. A name without an extension keeps the
// input's container. ToolError with kExitUsage naming path when no format has that extension or
// the container cannot hold what was asked.
int chooseOutputFormat(const std::string& path, int inputFormat, int channels, int sampleRate,
                       SampleBits bits);

} // namespace quorvane::cli
