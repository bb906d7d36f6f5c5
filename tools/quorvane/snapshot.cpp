// quorvane snapshot: opens the editor of an instance made in this process, drives it through the
// record as a host does, and writes what its window shows.

#include "snapshot.h"

#include "outputfile.h"
#include "pngfile.h"
#include "toolerror.h"

#include "gui/aeffguieditor.h"
#include "gui/cframe.h"
#include "gui/platform/headless/headless.h"
#include "gui/platform/headless/headlesswindow.h"
#include "module/vst2/vstmain.h"
#include "shell/audioeffect.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cmath>
#include <memory>

namespace quorvane::cli {
namespace {

// More than any redraw needs: meters settle in one pass, other controls draw once.
constexpr int kMaxIdlePasses = 64;

// A host that knows its version and sample rate and takes every other request without effect.
intptr_t VSTCALLBACK snapshotHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetSampleRate) return 44100;
    return 0;
}

// The instance, closed through its dispatcher however the snapshot ends.
struct InstanceCloser {
    void operator()(AEffect* effect) const {
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
    }
};
using Instance = std::unique_ptr<AEffect, InstanceCloser>;

intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr) {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
}

VSTGUI::CFrame* frameOf(AEffect* effect) {
    auto* editor =
        static_cast<AEffGUIEditor*>(static_cast<AudioEffect*>(effect->object)->getEditorPointer());
    return editor ? editor->getFrame() : nullptr;
}

// Opens the editor in a window of the headless back end and shows it once, as a window system
// paints a window that appears.
headless::HeadlessWindow& openEditor(AEffect* effect) {
    ERect* rect = nullptr;
    if (dispatch(effect, effEditGetRect, 0, 0, &rect) == 0 || !rect)
        throw ToolError(kExitFailure, "the effect has no editor");
    const int32_t width = rect->right - rect->left;
    const int32_t height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0)
        throw ToolError(kExitFailure, "the editor has no size: its bitmaps are missing");

    static int parentWindow = 0; // any handle is a parent to the headless back end
    dispatch(effect, effEditOpen, 0, 0, &parentWindow);
    headless::HeadlessWindow* window = headless::lastWindow();
    if (!frameOf(effect) || !window) throw ToolError(kExitFailure, "the editor did not open");
    window->paint({0, 0, width, height});
    return *window;
}

// Idles the editor until its frame has nothing left to redraw.
void idleUntilClean(AEffect* effect) {
    for (int pass = 0; pass < kMaxIdlePasses; ++pass) {
        dispatch(effect, effEditIdle);
        VSTGUI::CFrame* frame = frameOf(effect);
        if (!frame || !frame->isSomethingDirty()) return;
    }
}

void snapshot(const SnapshotOptions& options) {
    // the file, started before anything is drawn
    checkPictureName(options.output);
    OutputSet outputs;
    OutputFile& file = outputs.add(options.output);

    // the instance, as a host makes it
    Instance effect(createEffectInstance(snapshotHost));
    if (!effect) throw ToolError(kExitFailure, "the effect could not be created");
    headless::HeadlessWindow& window = openEditor(effect.get());

    // program, then the changes, each through the record so the editor refreshes as in a host
    if (options.program >= 0) dispatch(effect.get(), effSetProgram, 0, options.program);
    for (const auto& [index, value] : options.sets)
        effect->setParameter(effect.get(), index, value);
    idleUntilClean(effect.get());

    // the picture
    const auto& pixels = window.pixels();
    const std::string problem =
        writePng(dup(file.descriptor()), pixels.width(), pixels.height(), pixels.data().data());
    if (!problem.empty())
        throw fileError(kExitOutput, options.output, "cannot be written (" + problem + ")");
    dispatch(effect.get(), effEditClose);
    outputs.commit();
}

// INDEX=VALUE with INDEX a parameter (0 to 7) and VALUE a finite number; answers what is wrong
// with text, or "" with the change in set.
std::string parseSet(const std::string& text, std::pair<int32_t, float>& set) {
    const size_t equals = text.find('=');
    int32_t index = -1;
    float value = 0.0f;
    if (equals == std::string::npos || !CLI::detail::lexical_cast(text.substr(0, equals), index) ||
        !CLI::detail::lexical_cast(text.substr(equals + 1), value))
        return "'" + text + "' is not INDEX=VALUE";
    if (index < 0 || index > 7)
        return "parameter " + std::to_string(index) + " does not exist (0 to 7)";
    if (!std::isfinite(value)) return "'" + text + "' has no finite value";
    set = {index, value};
    return "";
}

} // namespace

int runSnapshot(const SnapshotOptions& options) {
    snapshot(options);
    return kExitOk;
}

void registerSnapshotCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<SnapshotOptions>();
    auto sets = std::make_shared<std::vector<std::string>>();
    CLI::App* command = app.add_subcommand(
        "snapshot", "Open the plug-in's editor in memory, set parameters as a host would, and "
                    "write the editor's picture (900 x 202) as a PNG file.");
    command
        ->add_option("--set", *sets,
                     "Set parameter INDEX (0 to 7) to VALUE through the plug-in's parameter "
                     "entry; repeatable, applied in order after --program")
        ->type_name("INDEX=VALUE")
        ->allow_extra_args(false)
        ->check([](const std::string& text) {
            std::pair<int32_t, float> set;
            return parseSet(text, set);
        });
    command->add_option("--program", options->program, "Select program N (0 to 15) first")
        ->type_name("N")
        ->check(CLI::Range(0, 15).description(""));
    command
        ->add_option("-o,--output", options->output,
                     "The PNG file to write (- for standard output)")
        ->type_name("PANEL.png")
        ->required();
    command->callback([options, sets, &run] {
        options->sets.clear();
        for (const std::string& text : *sets) {
            std::pair<int32_t, float> set;
            parseSet(text, set);
            options->sets.push_back(set);
        }
        run = [options] { return runSnapshot(*options); };
    });
}

} // namespace quorvane::cli
