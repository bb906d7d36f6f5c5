// The quorvane command: parses the command line and runs the chosen command.

#include "command.h"
#include "interrupt.h"
#include "snapshot.h"
#include "toolerror.h"

#include <CLI/CLI.hpp>
#include <png.h>
#include <sndfile.h>
#include <soxr.h>

#include <cctype>
#include <iostream>
#include <new>

namespace {

const char* const kFooter = "Exit codes: 0 done, 1 other failure, 2 bad command line, 3 bad input "
                            "file, 4 module cannot be used, 5 output cannot be written, 130 "
                            "interrupted.";

// "1.2.0" from "libsndfile-1.2.0".
std::string bareVersion(const char* text) {
    const std::string version = text ? text : "unknown";
    const size_t dash = version.rfind('-');
    return dash == std::string::npos ? version : version.substr(dash + 1);
}

// The tool's version, the plug-in's it was built with, and the libraries' it runs with.
std::string versionText() {
    return "quorvane " QUORVANE_VERSION "\nplug-in: Quorvane " QUORVANE_PLUGIN_VERSION
           "\nlibraries: libsndfile " +
           bareVersion(sf_version_string()) + ", libsoxr " + bareVersion(soxr_version()) +
           ", libpng " + bareVersion(png_get_libpng_ver(nullptr));
}

// A value that looks like an option is a value forgotten: "-o --mix" names no file. Numbers
// (-5) and "-" (standard output) are values; ./--mix names a file called --mix.
std::string optionNotValue(const std::string& value) {
    if (value.size() < 2 || value[0] != '-') return "";
    if (std::isdigit(static_cast<unsigned char>(value[1])) || value[1] == '.') return "";
    return "lacks its value ('" + value + "' is an option; a file of that name is ./" + value + ")";
}

void refuseOptionsAsValues(CLI::App& app) {
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; }))
        for (CLI::Option* option : command->get_options())
            if (option->get_type_size() != 0 && option->nonpositional())
                option->check(optionNotValue);
}

int reportFailure(const std::string& message, int exitCode) {
    std::cerr << "quorvane: error: " << message << '\n';
    return exitCode;
}

} // namespace

void quorvane::cli::addPluginOption(CLI::App& command, std::string& path) {
    command
        .add_option("--plugin", path,
                    "The module to load (default: the Quorvane.so beside this tool, else "
                    "../lib/vst/Quorvane.so from the tool's folder, where the package installs "
                    "it)")
        ->type_name("PATH");
}

int main(int argc, char** argv) {
    using namespace quorvane::cli;

    // Command line: one subcommand, each registered by its own file.
    CLI::App app{"Ducks a signal under a key through the Quorvane plug-in, offline, and shows what "
                 "any VST 2 module reports.",
                 "quorvane"};
    app.require_subcommand(1, 1);
    app.footer(kFooter);
    app.set_version_flag("--version", versionText,
                         "Print the versions of the tool, the plug-in "
                         "and the libraries, and exit");
    CommandRunner run;
    registerInfoCommand(app, run);
    registerRenderCommand(app, run);
    registerPlotCommand(app, run);
    registerDemoCommand(app, run);
    registerSnapshotCommand(app, run);
    registerEditCommand(app, run);
    refuseOptionsAsValues(app);

    // Parse: help goes to standard output, a usage error is one line on standard error.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        return reportFailure(std::string(e.what()) + " (see --help)", kExitUsage);
    }

    // Run: every failure ends here as one line and an exit code.
    installInterruptHandlers();
    try {
        return run ? run() : kExitUsage;
    } catch (const ToolError& e) {
        return reportFailure(e.what(), e.exitCode());
    } catch (const std::bad_alloc&) {
        return reportFailure("out of memory", kExitFailure);
    } catch (const std::exception& e) {
        return reportFailure(e.what(), kExitFailure);
    }
}
