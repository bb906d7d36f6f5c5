// quorvane info: loads a module through its entry, as a host would, and prints what a host sees.

#include "command.h"
#include "pluginmodule.h"
#include "toolerror.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace quorvane::cli {
namespace {

struct InfoOptions {
    std::string pluginPath;
    double sampleRate = 44100.0;
};

struct FlagName {
    int32_t bit;
    const char* name;
};

constexpr FlagName kFlagNames[] = {
    {effFlagsHasEditor, "HasEditor"},
    {effFlagsHasClip, "HasClip"},
    {effFlagsHasVu, "HasVu"},
    {effFlagsCanMono, "CanMono"},
    {effFlagsCanReplacing, "CanReplacing"},
    {effFlagsProgramChunks, "ProgramChunks"},
    {effFlagsIsSynth, "IsSynth"},
    {effFlagsNoSoundInStop, "NoSoundInStop"},
    {effFlagsExtIsAsync, "ExtIsAsync"},
    {effFlagsExtHasBuffer, "ExtHasBuffer"},
};

const char* const kCategoryNames[] = {"unknown",     "effect",  "instrument", "analysis",
                                      "mastering",   "spatial", "room",       "surround",
                                      "restoration", "offline", "shell",      "generator"};

std::string hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%0*X", digits, value);
    return text;
}

std::string fourCharacters(int32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned char c = static_cast<unsigned char>((static_cast<uint32_t>(id) >> shift));
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
    }
    return text;
}

std::string flagNames(int32_t flags) {
    std::string text = hex(static_cast<uint32_t>(flags), 1);
    int32_t rest = flags;
    for (const FlagName& flag : kFlagNames) {
        if ((flags & flag.bit) == 0) continue;
        text += ' ';
        text += flag.name;
        rest &= ~flag.bit;
    }
    if (rest != 0) text += " other:" + hex(static_cast<uint32_t>(rest), 1);
    return text;
}

std::string categoryName(intptr_t category) {
    const bool known = category >= 0 && category < static_cast<intptr_t>(std::size(kCategoryNames));
    return std::to_string(category) + " (" + (known ? kCategoryNames[category] : "not known") + ")";
}

void printField(const char* name, const std::string& value) {
    std::printf("%-12s %s\n", name, value.c_str());
}

// Prints rows under a header, each column as wide as its widest cell.
void printTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) {
            widths.resize(std::max(widths.size(), row.size()));
            widths[c] = std::max(widths[c], row[c].size());
        }
    for (const auto& row : rows) {
        std::string line = " ";
        for (size_t c = 0; c < row.size(); ++c)
            line += " " + row[c] + std::string(widths[c] - row[c].size(), ' ');
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        std::printf("%s\n", line.c_str());
    }
}

void printIdentity(PluginInstance& plugin, const PluginModule& module) {
    const AEffect& effect = plugin.effect();
    printField("module", module.path() + " (entry " + module.entryName() + ")");
    printField("effect", plugin.text(effGetEffectName));
    printField("vendor", plugin.text(effGetVendorString));
    printField("product", plugin.text(effGetProductString));
    printField("version", std::to_string(plugin.dispatch(effGetVendorVersion)) +
                              " (record version " + std::to_string(effect.version) +
                              ", interface " + std::to_string(plugin.dispatch(effGetVstVersion)) +
                              ")");
    printField("unique ID", "'" + fourCharacters(effect.uniqueID) + "' " +
                                hex(static_cast<uint32_t>(effect.uniqueID), 8));
    printField("inputs", std::to_string(effect.numInputs));
    printField("outputs", std::to_string(effect.numOutputs));
    printField("flags", flagNames(effect.flags));
    printField("category", categoryName(plugin.dispatch(effGetPlugCategory)));
}

void printLatency(PluginInstance& plugin, double sampleRate) {
    const int32_t created = plugin.latencyAtCreation();
    char text[96];
    std::snprintf(text, sizeof(text), "%d samples at %g Hz (%.1f ms)", created, sampleRate,
                  1000.0 * created / sampleRate);
    std::string line = text;
    plugin.resume();
    if (plugin.effect().initialDelay != created)
        line += "; " + std::to_string(plugin.effect().initialDelay) + " once resumed";
    printField("latency", line);
}

void printParameters(PluginInstance& plugin) {
    const int32_t count = plugin.effect().numParams;
    std::printf("\nparameters (%d)\n", count);
    if (count <= 0) return;
    std::vector<std::vector<std::string>> rows = {{"index", "name", "label", "display", "value"}};
    for (int32_t i = 0; i < count; ++i) {
        char value[32];
        std::snprintf(value, sizeof(value), "%.6g",
                      plugin.effect().getParameter
                          ? plugin.effect().getParameter(&plugin.effect(), i)
                          : 0.0f);
        rows.push_back({std::to_string(i), plugin.text(effGetParamName, i),
                        plugin.text(effGetParamLabel, i), plugin.text(effGetParamDisplay, i),
                        value});
    }
    printTable(rows);
}

// Program names by index, or by selecting each program where the module cannot name them so.
std::string programName(PluginInstance& plugin, int32_t index) {
    intptr_t answer = 0;
    std::string name = plugin.text(effGetProgramNameIndexed, index, 0, &answer);
    if (answer != 0) return name;
    const intptr_t current = plugin.dispatch(effGetProgram);
    plugin.dispatch(effSetProgram, 0, index);
    name = plugin.text(effGetProgramName);
    plugin.dispatch(effSetProgram, 0, current);
    return name;
}

void printPrograms(PluginInstance& plugin) {
    const int32_t count = plugin.effect().numPrograms;
    std::printf("\nprograms (%d)\n", count);
    if (count <= 0) return;
    std::vector<std::vector<std::string>> rows = {{"index", "name"}};
    for (int32_t i = 0; i < count; ++i)
        rows.push_back({std::to_string(i), programName(plugin, i)});
    printTable(rows);
}

int runInfo(const InfoOptions& options) {
    PluginModule module(pluginPathOrDefault(options.pluginPath));
    {
        PluginInstance plugin(module, HostSettings{static_cast<float>(options.sampleRate), 512});
        printIdentity(plugin, module);
        printLatency(plugin, options.sampleRate);
        printParameters(plugin);
        printPrograms(plugin);
    }
    std::fflush(stdout);
    return kExitOk;
}

} // namespace

void registerInfoCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* info = app.add_subcommand(
        "info", "Load a VST 2 module through its entry and print what a host sees: identity, "
                "pins, flags, latency, category, parameters and programs.");
    addPluginOption(*info, options->pluginPath);
    info->add_option("--sample-rate", options->sampleRate,
                     "The rate the host announces, in Hz (default 44100)")
        ->type_name("HZ")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                // Range alone lets "nan" through: every comparison with it is false.
                double rate = 0.0;
                if (!CLI::detail::lexical_cast(text, rate) || !std::isfinite(rate))
                    return "not a finite number: " + text;
                return "";
            },
            "", "finite"))
        ->check(CLI::Range(1.0, 1.0e7));
    info->callback([options, &run] { run = [options] { return runInfo(*options); }; });
}

} // namespace quorvane::cli
