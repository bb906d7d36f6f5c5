// quorvane edit: loads the module through its entry, opens a top-level window, opens the
// editor inside it and idles it about 30 times a second, printing every edit the panel sends.

#include "command.h"
#include "interrupt.h"
#include "pluginmodule.h"
#include "toolerror.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <X11/keysym.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace quorvane::cli {

namespace {

struct EditOptions {
    std::string pluginPath;
    double seconds = 0.0;
};

// Time between two idle requests: about 30 a second.
constexpr auto kIdlePeriod = std::chrono::milliseconds(33);

// Prints the edits the editor reports; everything else gets the neutral answer 0.
intptr_t printRequest(int32_t opcode, int32_t index, intptr_t, void*, float opt) {
    switch (opcode) {
    case audioMasterBeginEdit:
        std::printf("begin edit %d\n", index);
        break;
    case audioMasterAutomate:
        std::printf("automate %d %.6f\n", index, double(opt));
        break;
    case audioMasterEndEdit:
        std::printf("end edit %d\n", index);
        break;
    default:
        return 0;
    }
    std::fflush(stdout);
    return 0;
}

// The host's own window: a fixed-size top-level window on a connection of the tool.
class HostWindow {
public:
    HostWindow(int width, int height) {
        // connect
        display_ = XOpenDisplay(nullptr);
        if (!display_) throw ToolError(kExitFailure, "cannot open the X display (is DISPLAY set?)");
        // create: fixed size, closable through the window manager
        int screen = DefaultScreen(display_);
        window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, unsigned(width),
                                      unsigned(height), 0, BlackPixel(display_, screen),
                                      BlackPixel(display_, screen));
        XStoreName(display_, window_, "Quorvane");
        XSizeHints* hints = XAllocSizeHints();
        if (hints) {
            hints->flags = PMinSize | PMaxSize;
            hints->min_width = hints->max_width = width;
            hints->min_height = hints->max_height = height;
            XSetWMNormalHints(display_, window_, hints);
            XFree(hints);
        }
        deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display_, window_, &deleteWindow_, 1);
        XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
        // show, and wait until it is on the screen
        XMapWindow(display_, window_);
        XEvent event;
        do {
            XWindowEvent(display_, window_, StructureNotifyMask, &event);
        } while (event.type != MapNotify);
    }
    ~HostWindow() {
        if (window_) XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    void* handle() const { return reinterpret_cast<void*>(uintptr_t(window_)); }

    // Handles the window's events; arrow keys go to the editor. False once the user closed it.
    bool pump(PluginInstance& plugin) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == ClientMessage && Atom(event.xclient.data.l[0]) == deleteWindow_)
                return false;
            if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
                window_ = 0;
                return false;
            }
            if (event.type == KeyPress) sendKey(plugin, event.xkey);
        }
        return true;
    }

private:
    static void sendKey(PluginInstance& plugin, XKeyEvent& key) {
        KeySym sym = XLookupKeysym(&key, 0);
        int32_t virt = sym == XK_Left    ? VKEY_LEFT
                       : sym == XK_Up    ? VKEY_UP
                       : sym == XK_Right ? VKEY_RIGHT
                       : sym == XK_Down  ? VKEY_DOWN
                                         : 0;
        if (!virt) return;
        float modifier = (key.state & ShiftMask) ? 1.0f : 0.0f;
        plugin.dispatch(effEditKeyDown, 0, virt, nullptr, modifier);
    }

    Display* display_ = nullptr;
    ::Window window_ = 0;
    Atom deleteWindow_ = None;
};

int runEdit(const EditOptions& options) {
    // load: the module and one instance, running
    PluginModule module(pluginPathOrDefault(options.pluginPath));
    PluginInstance plugin(module, HostSettings{}, printRequest);
    if (!(plugin.effect().flags & effFlagsHasEditor))
        throw fileError(kExitPlugin, module.path(), "the module has no editor");
    ERect* rect = nullptr;
    if (!plugin.dispatch(effEditGetRect, 0, 0, &rect) || !rect)
        throw fileError(kExitPlugin, module.path(), "the module does not tell its editor's size");
    int width = rect->right - rect->left;
    int height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0)
        throw fileError(kExitPlugin, module.path(), "the editor's size is empty");
    plugin.resume();

    // open: the editor inside the host's window
    HostWindow window(width, height);
    if (!plugin.dispatch(effEditOpen, 0, 0, window.handle()))
        throw fileError(kExitPlugin, module.path(), "the editor could not be opened");
    std::printf("editor open (%d x %d); close the window or press Ctrl-C to quit\n", width, height);
    std::fflush(stdout);

    // idle until the window closes, a signal arrives or the time is up
    auto start = std::chrono::steady_clock::now();
    auto limit = std::chrono::duration<double>(options.seconds);
    while (!interrupted() && window.pump(plugin)) {
        if (options.seconds > 0.0 && std::chrono::steady_clock::now() - start >= limit) break;
        plugin.dispatch(effEditIdle);
        std::this_thread::sleep_for(kIdlePeriod);
    }
    plugin.dispatch(effEditClose);
    return kExitOk;
}

} // namespace

void registerEditCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<EditOptions>();
    CLI::App* edit = app.add_subcommand(
        "edit", "Open the plug-in's editor in a window of its own, as a host would, and print "
                "every edit it sends (begin edit, automate with index and value, end edit).");
    addPluginOption(*edit, options->pluginPath);
    edit->add_option("--seconds", options->seconds,
                     "Close the editor after this many seconds (default: when the window closes)")
        ->type_name("N")
        ->check(CLI::Range(0.0, 1.0e6));
    edit->callback([options, &run] { run = [options] { return runEdit(*options); }; });
}

} // namespace quorvane::cli
