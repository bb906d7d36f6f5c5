// Writes the LV2 bundle's descriptions from the effect's own tables: the parameters' names,
// labels and the values of the programs, read from an effect as a host reads them.
//
//   quorvane_lv2_describe BUNDLE [UI_BINARY]
//
// writes BUNDLE/manifest.ttl, BUNDLE/quorvane.ttl and BUNDLE/presets.ttl; with UI_BINARY (a
// file name in the bundle) the X11 UI is described as well.

#include "engine/duckingprocessor.h"
#include "module/lv2/lv2effect.h"
#include "module/lv2/lv2ports.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace quorvane::lv2;

namespace {

const char* const kPrefixes = "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                              "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                              "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
                              "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

struct Parameter {
    std::string name;
    std::string label;
    std::string symbol;
    float value; // the value after creation: program 0's
};

struct Program {
    std::string name;
    float values[kNumParams];
};

// A float as a Turtle decimal that reads back as the same float.
std::string decimal(float value) {
    char text[64];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof(text), "%.*f", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) return text;
    }
    std::snprintf(text, sizeof(text), "%.9e", static_cast<double>(value));
    return text;
}

// A string as a Turtle literal.
std::string literal(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string uri(const std::string& text) {
    return "<" + text + ">";
}

std::string programUri(int32_t program) {
    return std::string(kPluginUri) + "#program" + std::to_string(program + 1);
}

std::string unitUri(const std::string& label) {
    return std::string(kPluginUri) + "#unit-" + symbolOf(label.c_str());
}

bool write(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) std::fprintf(stderr, "quorvane_lv2_describe: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: quorvane_lv2_describe BUNDLE [UI_BINARY]\n");
        return 2;
    }
    const std::string bundle = argv[1];
    const std::string uiBinary = argc == 3 ? argv[2] : "";

    // The effect as a host sees it after creation, then every program selected in turn.
    auto effect = createEffect(44100.0);
    if (!effect) {
        std::fprintf(stderr, "quorvane_lv2_describe: cannot create the effect\n");
        return 1;
    }
    char text[256];
    std::vector<Parameter> parameters;
    for (int32_t i = 0; i < kNumParams; ++i) {
        Parameter p;
        text[0] = 0;
        effect->getParameterName(i, text);
        p.name = text;
        text[0] = 0;
        effect->getParameterLabel(i, text);
        p.label = text;
        p.symbol = symbolOf(p.name.c_str());
        p.value = effect->getParameter(i);
        parameters.push_back(p);
    }
    text[0] = 0;
    effect->getEffectName(text);
    const std::string effectName = text;
    text[0] = 0;
    effect->getVendorString(text);
    const std::string vendor = text;
    std::vector<Program> programs;
    for (int32_t n = 0; n < kNumPrograms; ++n) {
        effect->setProgram(n);
        Program program;
        text[0] = 0;
        effect->getProgramName(text);
        program.name = text;
        for (int32_t i = 0; i < kNumParams; ++i)
            program.values[i] = effect->getParameter(i);
        programs.push_back(program);
    }
    const uint32_t longestFrame =
        quorvane::DuckingProcessor::frameLengthFor(std::numeric_limits<float>::max());

    // manifest.ttl: what a host reads to find the plug-in, its presets and its UI.
    std::ostringstream manifest;
    manifest << kPrefixes;
    manifest << uri(kPluginUri) << "\n    a lv2:Plugin ;\n    lv2:binary <quorvane_lv2.so> ;\n"
             << "    rdfs:seeAlso <quorvane.ttl> .\n";
    for (int32_t n = 0; n < kNumPrograms; ++n)
        manifest << "\n"
                 << uri(programUri(n)) << "\n    a pset:Preset ;\n    lv2:appliesTo "
                 << uri(kPluginUri) << " ;\n    rdfs:seeAlso <presets.ttl> .\n";
    // The UI: its binary here, its description in quorvane.ttl.
    if (!uiBinary.empty())
        manifest << "\n"
                 << uri(kUiUri) << "\n    a ui:X11UI ;\n    ui:binary <" << uiBinary
                 << "> ;\n    rdfs:seeAlso <quorvane.ttl> .\n";

    // quorvane.ttl: the plug-in and its ports.
    std::ostringstream plugin;
    plugin << kPrefixes;
    plugin << uri(kPluginUri) << "\n    a lv2:Plugin , lv2:DynamicsPlugin , doap:Project ;\n"
           << "    doap:name " << literal(effectName) << " ;\n"
           << "    doap:maintainer [\n        foaf:name " << literal(vendor) << " ;\n    ] ;\n"
           << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n"
           << "    opts:supportedOption bufsz:maxBlockLength ;\n"
           << "    lv2:extensionData state:interface ;\n";
    if (!uiBinary.empty()) plugin << "    ui:ui " << uri(kUiUri) << " ;\n";
    struct Audio {
        const char* direction;
        const char* symbol;
        const char* name;
    };
    const Audio audio[4] = {{"Input", "key_in", "Key in"},
                            {"Input", "in", "In"},
                            {"Output", "key_out", "Key out"},
                            {"Output", "out", "Out"}};
    std::vector<std::string> ports;
    for (uint32_t index = 0; index < 4; ++index) {
        std::ostringstream port;
        port << "a lv2:" << audio[index].direction << "Port , lv2:AudioPort ;\n"
             << "        lv2:index " << index << " ;\n"
             << "        lv2:symbol " << literal(audio[index].symbol) << " ;\n"
             << "        lv2:name " << literal(audio[index].name) << " ;\n";
        ports.push_back(port.str());
    }
    for (int32_t i = 0; i < kNumParams; ++i) {
        const Parameter& p = parameters[i];
        std::ostringstream port;
        port << "a lv2:InputPort , lv2:ControlPort ;\n"
             << "        lv2:index " << parameterPort(i) << " ;\n"
             << "        lv2:symbol " << literal(p.symbol) << " ;\n"
             << "        lv2:name " << literal(p.name) << " ;\n"
             << "        lv2:default " << decimal(p.value) << " ;\n"
             << "        lv2:minimum 0.0 ;\n        lv2:maximum 1.0 ;\n";
        if (!p.label.empty()) port << "        units:unit " << uri(unitUri(p.label)) << " ;\n";
        ports.push_back(port.str());
    }
    {
        std::ostringstream port;
        port << "a lv2:OutputPort , lv2:ControlPort ;\n"
             << "        lv2:index " << kLatencyPort << " ;\n"
             << "        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
             << "        lv2:designation lv2:latency ;\n"
             << "        lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
             << "        lv2:minimum 0 ;\n        lv2:maximum " << longestFrame << " ;\n"
             << "        units:unit units:frame ;\n";
        ports.push_back(port.str());
    }
    for (int32_t r = 0; r < kReadingCount; ++r) {
        const Parameter& p = parameters[kFirstReading + r];
        std::ostringstream port;
        port << "a lv2:OutputPort , lv2:ControlPort ;\n"
             << "        lv2:index " << kFirstReadingPort + r << " ;\n"
             << "        lv2:symbol " << literal(p.symbol + "_out") << " ;\n"
             << "        lv2:name " << literal(p.name + " reading") << " ;\n"
             << "        lv2:minimum 0.0 ;\n        lv2:maximum 1.5 ;\n";
        ports.push_back(port.str());
    }
    plugin << "    lv2:port ";
    for (size_t i = 0; i < ports.size(); ++i)
        plugin << (i ? " , " : "") << "[\n        " << ports[i] << "    ]";
    plugin << " .\n";
    // The parameters' labels as units of their own.
    std::vector<std::string> units;
    for (const Parameter& p : parameters) {
        if (p.label.empty()) continue;
        bool known = false;
        for (const std::string& u : units)
            known = known || u == p.label;
        if (known) continue;
        units.push_back(p.label);
        plugin << "\n"
               << uri(unitUri(p.label)) << "\n    a units:Unit ;\n    rdfs:label "
               << literal(p.label) << " ;\n    units:symbol " << literal(p.label) << " .\n";
    }
    // The state's property that the presets use: the number of the program to select.
    plugin << "\n"
           << uri(kProgramKey) << "\n    a rdf:Property ;\n"
           << "    rdfs:label \"program\" ;\n"
           << "    rdfs:comment \"The number of the current program, 0 to " << kNumPrograms - 1
           << ".\" ;\n    rdfs:range xsd:int .\n";
    // ===== The UI's description. Features and extensions of the X11 UI go here. =====
    if (!uiBinary.empty()) {
        plugin << "\n"
               << uri(kUiUri) << "\n    a ui:X11UI ;\n"
               << "    lv2:requiredFeature ui:idleInterface ;\n"
               << "    lv2:extensionData ui:idleInterface ;\n"
               << "    lv2:optionalFeature ui:parent , ui:touch , ui:resize ;\n"
               << "    ui:portNotification ";
        for (int32_t r = 0; r < kReadingCount; ++r)
            plugin << (r ? " , " : "") << "[\n        ui:plugin " << uri(kPluginUri)
                   << " ;\n        lv2:symbol "
                   << literal(parameters[kFirstReading + r].symbol + "_out")
                   << " ;\n        ui:protocol ui:floatProtocol ;\n    ]";
        plugin << " .\n";
    }

    // presets.ttl: the programs, each with its name, its values and its number, which the
    // state selects.
    std::ostringstream presets;
    presets << kPrefixes;
    for (int32_t n = 0; n < kNumPrograms; ++n) {
        presets << (n ? "\n" : "") << uri(programUri(n)) << "\n    a pset:Preset ;\n"
                << "    lv2:appliesTo " << uri(kPluginUri) << " ;\n"
                << "    rdfs:label " << literal(programs[n].name) << " ;\n"
                << "    state:state [\n        " << uri(kProgramKey) << " \"" << n
                << "\"^^xsd:int ;\n    ] ;\n    lv2:port ";
        for (int32_t i = 0; i < kNumParams; ++i)
            presets << (i ? " , " : "") << "[\n        lv2:symbol " << literal(parameters[i].symbol)
                    << " ;\n        pset:value " << decimal(programs[n].values[i]) << " ;\n    ]";
        presets << " .\n";
    }

    const bool ok = write(bundle + "/manifest.ttl", manifest.str()) &&
                    write(bundle + "/quorvane.ttl", plugin.str()) &&
                    write(bundle + "/presets.ttl", presets.str());
    return ok ? 0 : 1;
}
