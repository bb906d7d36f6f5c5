#pragma once
// The LV2 plug-in's identity and ports, shared by the plug-in, its UI and the program that
// writes their descriptions.

#include "effect/parameterindex.h"

#include <cstdint>
#include <string>

namespace quorvane::lv2 {

inline constexpr char kPluginUri[] = "urn:quorvane:lv2:quorvane";
inline constexpr char kUiUri[] = "urn:quorvane:lv2:quorvane#ui";
// The state's key of the current program's number; the parameters' keys are the plug-in's URI,
// "#" and the port symbol.
inline constexpr char kProgramKey[] = "urn:quorvane:lv2:quorvane#program";

// Ports by index: the key and the signal in, the key and the ducked signal out (delayed by N),
// the eight parameters as control inputs, the latency N and the three meter readings (the
// values of parameters 1, 2 and 3) as control outputs.
enum Port : uint32_t {
    kKeyIn = 0,
    kIn = 1,
    kKeyOut = 2,
    kOut = 3,
    kFirstParameterPort = 4,
    kLatencyPort = kFirstParameterPort + kNumParams,
    kFirstReadingPort = kLatencyPort + 1,
    kPortCount = kFirstReadingPort + 3,
};

// The meter readings are parameters 1, 2 and 3 in this order.
inline constexpr int32_t kFirstReading = kRmsLevel;
inline constexpr int32_t kReadingCount = kHoldLevel - kRmsLevel + 1;
static_assert(kPortCount == kFirstReadingPort + kReadingCount);

constexpr uint32_t parameterPort(int32_t index) {
    return kFirstParameterPort + static_cast<uint32_t>(index);
}

// A port symbol made from a parameter's name: lower case, runs of anything but letters and
// digits become one underscore ("RMS level" gives rms_level).
inline std::string symbolOf(const char* name) {
    std::string symbol;
    bool gap = false;
    for (const char* c = name; *c; ++c) {
        const char ch = *c;
        const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
        const bool digit = ch >= '0' && ch <= '9';
        if (!letter && !digit) {
            gap = true;
            continue;
        }
        if (gap && !symbol.empty()) symbol += '_';
        if (symbol.empty() && digit) symbol += '_';
        gap = false;
        symbol += letter && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
    }
    return symbol.empty() ? std::string("_") : symbol;
}

// The state's key of a parameter's value.
inline std::string parameterKey(const std::string& symbol) {
    return std::string(kPluginUri) + "#" + symbol;
}

} // namespace quorvane::lv2
