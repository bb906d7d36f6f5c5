// The Windows editor tests, run under wine by win32_editor_tests on a private Xvfb: a small host
// that loads the module, opens the editor in a window of its own, plays real input with
// SendInput and reads the screen back with BitBlt, plus the back end driven directly. Screen
// grabs go to OUTPUT as raw files with the parameters they show; the Linux side compares them
// with the headless picture.
//
//   win32_editor_host MODULE.dll OUTPUT-DIRECTORY [GoogleTest options]

#include <gtest/gtest.h>

#include "gui/platform/win32/udroptarget.h"
#include "gui/platform/win32/win32device.h"
#include "gui/platform/win32/win32module.h"
#include "gui/platform/win32/win32moduleuse.h"
#include "gui/platform/win32/win32picture.h"
#include "gui/platform/win32/win32window.h"
#include "panelgestures.h"
#include "scene.h"
#include "shell/aeffect.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <shlobj.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

using namespace quorvane;
using namespace quorvane::paneltest;

std::string modulePath;
std::string outputDir;

// --- the host side of the plug-in interface

struct Request {
    int32_t opcode;
    int32_t index;
    float opt;
};
std::vector<Request> requests;
// What the host does when the effect asks it to idle (on the main thread).
std::function<void(AEffect*)> onHostIdle;
DWORD mainThread = GetCurrentThreadId();

// Records the requests made on the main thread; editors on other threads are not watched.
intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t, void*,
                                  float opt) {
    if (GetCurrentThreadId() == mainThread) {
        requests.push_back({opcode, index, opt});
        if (opcode == audioMasterIdle && onHostIdle) onHostIdle(effect);
    }
    return opcode == audioMasterVersion ? 2400 : opcode == audioMasterGetSampleRate ? 44100 : 0;
}

intptr_t dispatch(AEffect* e, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// --- threads, windows, messages and the screen

DWORD WINAPI runFunction(void* function) {
    (*static_cast<std::function<void()>*>(function))();
    return 0;
}

// Runs function on a thread of its own; the caller waits for the handle and closes it.
HANDLE startThread(std::function<void()>& function) {
    return CreateThread(nullptr, 0, runFunction, &function, 0, nullptr);
}

HWND makeHostWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA host{};
        host.lpfnWndProc = DefWindowProcA;
        host.hInstance = GetModuleHandleA(nullptr);
        host.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        host.lpszClassName = "QuorvaneTestHost";
        RegisterClassA(&host);
        registered = true;
    }
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "QuorvaneTestHost", "host", WS_POPUP | WS_VISIBLE,
                                  kHostLeft, kHostTop, kPanelWidth, kPanelHeight, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(window);
    return window;
}

int childCount(HWND parent) {
    int count = 0;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        count++;
    return count;
}

void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The host's loop: editor idles and messages, every 5 ms, while going() says so.
void idleWhile(AEffect* effect, const std::function<bool()>& going) {
    while (going()) {
        if (effect) dispatch(effect, effEditIdle);
        pump();
        Sleep(5);
    }
}

void idleFor(AEffect* effect, DWORD ms) {
    DWORD end = GetTickCount() + ms;
    idleWhile(effect, [end] { return int32_t(GetTickCount() - end) < 0; });
}

// The pixels of an offscreen as 0x00RRGGBB.
std::vector<uint32_t> pixelsOf(win32::Win32Offscreen& surface) {
    int w = surface.width(), h = surface.height();
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint32_t> pixels(size_t(w) * h);
    HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(surface.sourceDC(), OBJ_BITMAP));
    GetDIBits(surface.sourceDC(), bitmap, 0, UINT(h), pixels.data(), &info, DIB_RGB_COLORS);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    return pixels;
}

// The screen under window.
std::vector<uint32_t> grab(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    auto copy = win32::Win32Offscreen::create(nullptr, kPanelWidth, kPanelHeight);
    HDC screen = GetDC(nullptr);
    BitBlt(copy->sourceDC(), 0, 0, kPanelWidth, kPanelHeight, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return pixelsOf(*copy);
}

// OUTPUT/name.raw: width and height as 32-bit numbers, the eight parameters the picture shows
// (zero for pictures of no effect), then the rows.
void save(const char* name, const std::vector<uint32_t>& pixels, int width, int height,
          AEffect* effect = nullptr) {
    FILE* file = fopen((outputDir + "\\" + name + ".raw").c_str(), "wb");
    ASSERT_NE(file, nullptr) << name;
    int32_t size[2] = {width, height};
    float parameters[8] = {};
    for (int i = 0; effect && i < 8; i++)
        parameters[i] = effect->getParameter(effect, i);
    fwrite(size, sizeof(size), 1, file);
    fwrite(parameters, sizeof(parameters), 1, file);
    fwrite(pixels.data(), 4, pixels.size(), file);
    fclose(file);
}

void savePanel(const char* name, HWND host, AEffect* effect) {
    save(name, grab(host), kPanelWidth, kPanelHeight, effect);
}

// --- real input: the panel gestures through SendInput

void send(INPUT input) {
    SendInput(1, &input, sizeof(input));
}

class SendInputHand : public Hand {
public:
    SendInputHand() { settleMs = 150; }
    void move(Point to) override {
        INPUT input{INPUT_MOUSE, {}};
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        input.mi.dx = MulDiv(kHostLeft + to.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(kHostTop + to.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        send(input);
    }
    void button(bool down) override {
        INPUT input{INPUT_MOUSE, {}};
        input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        send(input);
    }
    void control(bool down) override {
        INPUT input{INPUT_KEYBOARD, {}};
        input.ki.wVk = VK_CONTROL;
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        send(input);
    }
    void wait(int ms) override { Sleep(DWORD(ms)); }
};

// Plays g on a thread of its own (a user at the mouse) while the host keeps idling the editor;
// the editor's drag loops run inside those idles and messages. held runs on the user's thread
// while the button is held.
void play(AEffect* effect, const Gesture& g, const std::function<void()>& held = {}) {
    std::function<void()> user = [&] {
        SendInputHand hand;
        paneltest::play(hand, g, held);
    };
    HANDLE thread = startThread(user);
    idleWhile(effect, [thread] { return WaitForSingleObject(thread, 0) == WAIT_TIMEOUT; });
    CloseHandle(thread);
    idleFor(effect, 150);
}

// Plays g and checks what the host heard and the value it left.
void playAndCheck(AEffect* effect, const Gesture& g) {
    requests.clear();
    play(effect, g);
    expectHeard(g, editsAmong(requests), effect->getParameter(effect, g.index));
}

// Opens the editor in host, idles it and closes it: true when it was there, alone, while open
// and is gone after.
bool openIdleClose(AEffect* effect, HWND host) {
    const bool opened = dispatch(effect, effEditOpen, 0, 0, host) == 1 && childCount(host) == 1;
    dispatch(effect, effEditIdle);
    pump();
    dispatch(effect, effEditIdle);
    dispatch(effect, effEditClose);
    return opened && childCount(host) == 0;
}

// --- counting what the process holds

// Live GDI objects; wine answers GetGuiResources with 0, so there every handle slot is asked.
int gdiObjects() {
    DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted) return int(counted);
    int live = 0;
    for (uintptr_t slot = 1; slot < 0x10000; slot++)
        live += GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0;
    return live;
}

BOOL CALLBACK countWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK countWindowAndChildren(HWND window, LPARAM count) {
    countWindow(window, count);
    EnumChildWindows(window, countWindow, count);
    return TRUE;
}

// Windows of this thread, children included; the only user objects the editor makes.
int userObjects() {
    DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (counted) return int(counted);
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWindowAndChildren,
                      reinterpret_cast<LPARAM>(&count));
    return count;
}

std::string moduleClassName(HMODULE instance) {
    char name[32];
    std::snprintf(name, sizeof(name), "Plugin%08x", unsigned(uintptr_t(instance)));
    return name;
}

bool classRegistered(HMODULE instance) {
    WNDCLASSA info{};
    return GetClassInfoA(instance, moduleClassName(instance).c_str(), &info) != 0;
}

// --- the editor through the module, loaded afresh for every test

class Win32Editor : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryA(modulePath.c_str());
        ASSERT_NE(module, nullptr);
        // the 32-bit module exports only main
        entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
            reinterpret_cast<void*>(GetProcAddress(module, "main")));
        ASSERT_NE(entry, nullptr);
        requests.clear();
    }
    void TearDown() override {
        onHostIdle = nullptr;
        for (Editor& e : editors) {
            if (e.effect) dispatch(e.effect, effClose);
            if (IsWindow(e.host)) DestroyWindow(e.host);
        }
        pump();
        if (module) FreeLibrary(module);
    }

    struct Editor {
        HWND host;
        AEffect* effect;
    };
    // A host window and an effect, ended with the test.
    Editor& add() {
        editors.push_back({makeHostWindow(), entry(hostCallback)});
        return editors.back();
    }
    // add, then open the editor in the host window and let it paint.
    Editor& open() {
        Editor& e = add();
        EXPECT_EQ(dispatch(e.effect, effEditOpen, 0, 0, e.host), 1);
        idleFor(e.effect, 250);
        requests.clear();
        return e;
    }

    HMODULE module = nullptr;
    AEffect* (*entry)(audioMasterCallback) = nullptr;
    std::deque<Editor> editors;
};

TEST_F(Win32Editor, OpensAsAChildOfTheHostWindowAndRepaintsWhatTheHostPaintsOver) {
    Editor& e = add();
    // a parent that is no window gives no editor
    EXPECT_EQ(dispatch(e.effect, effEditOpen, 0, 0, reinterpret_cast<void*>(0x7ff0)), 0);
    dispatch(e.effect, effEditIdle);
    dispatch(e.effect, effEditClose);
    ASSERT_EQ(dispatch(e.effect, effEditOpen, 0, 0, e.host), 1);
    idleFor(e.effect, 250);
    ASSERT_EQ(childCount(e.host), 1);
    HWND child = GetWindow(e.host, GW_CHILD);
    char name[64] = "";
    GetClassNameA(child, name, sizeof(name));
    EXPECT_EQ(moduleClassName(module), name);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    EXPECT_TRUE((style & WS_CHILD) && (style & WS_VISIBLE));
    RECT r{}, panel{kHostLeft, kHostTop, kHostLeft + kPanelWidth, kHostTop + kPanelHeight};
    GetWindowRect(child, &r);
    EXPECT_TRUE(EqualRect(&r, &panel));
    savePanel("panel", e.host, e.effect);
    RECT hole{100, 20, 400, 120};
    InvalidateRect(child, &hole, TRUE);
    idleFor(e.effect, 100);
    savePanel("repainted", e.host, e.effect);
    dispatch(e.effect, effEditClose);
    EXPECT_EQ(childCount(e.host), 0);
    EXPECT_FALSE(classRegistered(module));
}

TEST_F(Win32Editor, DraggingTheSliderAutomatesRisingValuesInsideOneEditBracket) {
    Editor& e = open();
    float held = -1.0f;
    play(e.effect, kSliderDrag, [&] {
        held = e.effect->getParameter(e.effect, 0);
        savePanel("held", e.host, e.effect);
    });
    expectHeard(kSliderDrag, editsAmong(requests), e.effect->getParameter(e.effect, 0));
    EXPECT_GT(held, 0.0f);
    EXPECT_LT(held, e.effect->getParameter(e.effect, 0));
    savePanel("released", e.host, e.effect);
}

TEST_F(Win32Editor, CtrlClickRestoresTheDefaultWithoutAnEditBracket) {
    Editor& e = open();
    e.effect->setParameter(e.effect, 0, 0.9f);
    idleFor(e.effect, 100);
    playAndCheck(e.effect, kSliderCtrlClick);
    savePanel("restored", e.host, e.effect);
}

TEST_F(Win32Editor, EverySwitchZoneSetsItsValueInsideAnEditBracket) {
    Editor& e = open();
    for (const Gesture& g : kSwitchZones)
        playAndCheck(e.effect, g);
    e.effect->setParameter(e.effect, 5, 1.0f);
    e.effect->setParameter(e.effect, 6, 0.5f);
    e.effect->setParameter(e.effect, 7, 1.0f);
    idleFor(e.effect, 100);
    savePanel("lamps", e.host, e.effect);
}

TEST_F(Win32Editor, ArrowKeysFromTheHostStepTheSlider) {
    Editor& e = open();
    e.effect->setParameter(e.effect, 0, 0.5f);
    EXPECT_EQ(dispatch(e.effect, effEditKeyDown, 0, VKEY_UP), 1);
    EXPECT_NEAR(e.effect->getParameter(e.effect, 0), 0.6f, 1e-6f);
    EXPECT_EQ(dispatch(e.effect, effEditKeyDown, 0, VKEY_DOWN, nullptr, 1.0f), 1);
    EXPECT_NEAR(e.effect->getParameter(e.effect, 0), 0.59f, 1e-6f);
    idleFor(e.effect, 100);
    savePanel("stepped", e.host, e.effect);
}

TEST_F(Win32Editor, AHundredOpensAndClosesLeaveNoWindowAndNoObjectBehind) {
    Editor& e = open();
    dispatch(e.effect, effEditClose);
    pump();
    int gdi = gdiObjects();
    int user = userObjects();
    EXPECT_GT(gdi, 0);
    for (int i = 0; i < 100; i++)
        ASSERT_TRUE(openIdleClose(e.effect, e.host)) << i;
    pump();
    EXPECT_EQ(gdiObjects(), gdi);
    EXPECT_EQ(userObjects(), user);
    EXPECT_EQ(childCount(e.host), 0);
    EXPECT_FALSE(classRegistered(module));
}

TEST_F(Win32Editor, EditorsShareTheWindowClassAcrossInstancesAndThreads) {
    Editor& first = open();
    Editor& second = open();
    EXPECT_TRUE(classRegistered(module));
    dispatch(first.effect, effEditClose);
    EXPECT_TRUE(classRegistered(module));
    EXPECT_EQ(childCount(second.host), 1);
    dispatch(second.effect, effEditClose);
    EXPECT_FALSE(classRegistered(module));

    // editors opened and closed on two threads at once
    int failures[2] = {0, 0};
    std::function<void()> work[2];
    HANDLE threads[2];
    for (int t = 0; t < 2; t++) {
        AEffect* effect = add().effect;
        work[t] = [effect, &failures, t] {
            HWND host = makeHostWindow();
            for (int i = 0; i < 40; i++)
                failures[t] += !openIdleClose(effect, host);
            DestroyWindow(host);
        };
        threads[t] = startThread(work[t]);
    }
    WaitForMultipleObjects(2, threads, TRUE, 60000);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    EXPECT_EQ(failures[0], 0);
    EXPECT_EQ(failures[1], 0);
    EXPECT_FALSE(classRegistered(module));
}

TEST_F(Win32Editor, ADestroyedParentOrAnEffectClosedUnderTheEditorEndItQuietly) {
    Editor& e = open();
    DestroyWindow(e.host);
    e.effect->setParameter(e.effect, 0, 0.1f);
    idleFor(e.effect, 60);
    EXPECT_NE(dispatch(e.effect, effEditKeyDown, 0, VKEY_UP), 0);
    dispatch(e.effect, effEditClose);
    EXPECT_FALSE(classRegistered(module));
    // and the editor opens again in a new parent
    e.host = makeHostWindow();
    EXPECT_EQ(dispatch(e.effect, effEditOpen, 0, 0, e.host), 1);
    EXPECT_EQ(childCount(e.host), 1);

    dispatch(e.effect, effClose);
    e.effect = nullptr;
    EXPECT_EQ(childCount(e.host), 0);
    EXPECT_FALSE(classRegistered(module));
}

// A host may close the editor or the effect on another thread than the one that opened it: the
// window still goes with its own thread, the component library stays as that thread had it, and
// nothing of the module is left to call once it is unloaded.
TEST_F(Win32Editor, ACloseFromAnotherThreadLeavesNothingOfTheModuleBehind) {
    for (int32_t opcode : {effEditClose, effClose}) {
        SCOPED_TRACE(opcode);
        Editor& e = open();
        // this thread's component library, initialised in main: S_FALSE means "already"
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
        // the closing thread has its own initialisation, which must stay as it was
        HRESULT before = E_FAIL, after = E_FAIL;
        std::function<void()> close = [&] {
            before = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            dispatch(e.effect, opcode);
            after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            CoUninitialize();
            CoUninitialize();
        };
        // messages pumped meanwhile, so that requests sent to this thread's windows are served
        HANDLE thread = startThread(close);
        while (MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLINPUT) ==
               WAIT_OBJECT_0 + 1)
            pump();
        CloseHandle(thread);
        if (opcode == effClose) e.effect = nullptr;
        EXPECT_EQ(before, S_OK);
        EXPECT_EQ(after, S_FALSE);
        EXPECT_EQ(childCount(e.host), 0);
        EXPECT_FALSE(classRegistered(module));
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
    }
    for (Editor& e : editors) {
        if (e.effect) dispatch(e.effect, effClose);
        e.effect = nullptr;
    }
    ASSERT_TRUE(FreeLibrary(module));
    module = nullptr;
    ASSERT_EQ(GetModuleHandleA("Quorvane.dll"), nullptr);
    // the hosts' windows repaint without a window procedure of the unloaded module
    for (Editor& e : editors) {
        InvalidateRect(e.host, nullptr, TRUE);
        UpdateWindow(e.host);
    }
    idleFor(nullptr, 100);
}

// When the window's thread does not answer in time (here it waits for the closing thread), the
// window gets the system's procedure back and closes when its thread pumps again.
TEST_F(Win32Editor, ACloseFromAnotherThreadThatGetsNoAnswerStillLeavesNothingBehind) {
    Editor& e = open();
    std::function<void()> close = [&e] { dispatch(e.effect, effClose); };
    HANDLE thread = startThread(close);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    e.effect = nullptr;
    idleFor(nullptr, 100);
    EXPECT_EQ(childCount(e.host), 0);
    HMODULE unloaded = module;
    module = nullptr;
    ASSERT_TRUE(FreeLibrary(unloaded));
    EXPECT_FALSE(classRegistered(unloaded));
    InvalidateRect(e.host, nullptr, TRUE);
    UpdateWindow(e.host);
    idleFor(nullptr, 100);
}

// The host's own loop must still see the quit it posted before an editor idle.
TEST_F(Win32Editor, AnEditorIdleLeavesTheHostsQuitMessageInTheQueue) {
    Editor& e = open();
    InvalidateRect(GetWindow(e.host, GW_CHILD), nullptr, FALSE);
    PostQuitMessage(7);
    dispatch(e.effect, effEditIdle);
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
}

// GDI objects alive when the editor's window got WM_DESTROY, counted by a hook on this thread.
int gdiAtDestroy = -1;

LRESULT CALLBACK watchDestroy(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    char name[16] = "";
    if (code == HC_ACTION && sent->message == WM_DESTROY &&
        GetClassNameA(sent->hwnd, name, sizeof(name)) && std::strncmp(name, "Plugin", 6) == 0)
        gdiAtDestroy = gdiObjects();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The host closes the editor from its idle while the user drags: the click's drawing context
// goes back before the window goes, and nothing the editor drew with is left.
TEST_F(Win32Editor, ACloseFromTheHostsIdleDuringADragLetsTheClicksContextGoFirst) {
    // a first drag makes what the process keeps for later ones
    Editor& e = open();
    play(e.effect, kSliderDrag);
    dispatch(e.effect, effEditClose);
    pump();
    int gdi = gdiObjects();
    ASSERT_EQ(dispatch(e.effect, effEditOpen, 0, 0, e.host), 1);
    idleFor(e.effect, 250);
    requests.clear();
    bool closed = false;
    onHostIdle = [&](AEffect* effect) {
        if (closed || editsAmong(requests).empty()) return;
        closed = true;
        dispatch(effect, effEditClose);
    };
    gdiAtDestroy = -1;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, watchDestroy, nullptr, GetCurrentThreadId());
    play(e.effect, kSliderDrag);
    UnhookWindowsHookEx(hook);
    ASSERT_TRUE(closed);
    EXPECT_EQ(editsAmong(requests).front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(childCount(e.host), 0);
    pump();
    EXPECT_EQ(gdiAtDestroy, gdiObjects());
    EXPECT_EQ(gdiObjects(), gdi);
}

// --- the back end on its own

// The long form of a path (a resolved shortcut comes back in its short form).
std::string longName(const std::string& path) {
    char buffer[MAX_PATH] = "";
    if (!GetLongPathNameA(path.c_str(), buffer, MAX_PATH)) return path;
    return buffer;
}

class Recorder : public platform::WindowEvents {
public:
    void onPaint(platform::Device&, const platform::Rect&) override {}
    void onButtonDown(platform::Point, int32_t) override {}
    bool onDrop(void** items, int32_t count, int32_t type, platform::Point where) override {
        drops++;
        this->count = count;
        this->type = type;
        this->where = where;
        texts.clear();
        if (type == win32::kDropText) texts.emplace_back(static_cast<const char*>(items[0]));
        for (int32_t i = 0; type == win32::kDropFiles && i < count; i++)
            texts.emplace_back(static_cast<const char*>(items[i]));
        return take;
    }
    void onDestroyed() override { destroyed = true; }
    // Checks the last drop: the drops so far, its type, count, items (in their long form) and
    // where it came.
    void expectDrop(int dropsSoFar, int32_t dropType, int32_t itemCount,
                    const std::vector<std::string>& items, platform::Point at) const {
        EXPECT_EQ(drops, dropsSoFar);
        EXPECT_EQ(type, dropType);
        EXPECT_EQ(count, itemCount);
        ASSERT_EQ(texts.size(), items.size());
        for (size_t i = 0; i < items.size(); i++)
            EXPECT_EQ(longName(texts[i]), longName(items[i])) << i;
        EXPECT_EQ(where.x, at.x);
        EXPECT_EQ(where.y, at.y);
    }
    bool take = false;
    bool destroyed = false;
    int drops = 0;
    int32_t count = -1;
    int32_t type = -1;
    platform::Point where;
    std::vector<std::string> texts;
};

// A window of the back end in a host window of its own.
class Win32BackEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(window); }
    void TearDown() override {
        window.reset();
        DestroyWindow(host);
        pump();
    }
    HWND handle() const { return static_cast<win32::Win32Window*>(window.get())->handle(); }

    HWND host = makeHostWindow();
    Recorder recorder;
    std::unique_ptr<platform::Window> window =
        platform::createChildWindow(host, kPanelWidth, kPanelHeight, &recorder);
};

// A drag stopped by the host destroying its window draws nothing more: the device lets the
// window's context go with the window.
TEST_F(Win32BackEnd, DrawingStopsWhenTheWindowIsDestroyed) {
    pump();
    int gdi = gdiObjects();
    std::unique_ptr<platform::Device> device = window->openDevice();
    ASSERT_TRUE(device);
    device->setPen(0x0000FF, platform::PenStyle::kSolid);
    device->setBrush(0x0000FF);
    device->setFont({});
    EXPECT_GT(gdiObjects(), gdi);
    DestroyWindow(host);
    EXPECT_TRUE(recorder.destroyed);
    EXPECT_EQ(static_cast<win32::Win32Device*>(device.get())->dc(), nullptr);
    EXPECT_EQ(gdiObjects(), gdi);
    // a window in the same place shows nothing of what the device draws now
    host = makeHostWindow();
    idleFor(nullptr, 50);
    device->setBrush(0x0000FF);
    device->fillRect({-1, -1, kPanelWidth, kPanelHeight});
    device->copyImage(*platform::loadBitmap(128), {0, 0, kPanelWidth, kPanelHeight}, {0, 0});
    device.reset();
    idleFor(nullptr, 50);
    for (uint32_t pixel : grab(host))
        ASSERT_EQ(pixel, 0u);
    EXPECT_FALSE(window->openDevice());
}

// The repaint a drag lets run takes a paint, never the host's quit.
TEST_F(Win32BackEnd, ThePendingRepaintOfADragLeavesTheHostsQuitMessageInTheQueue) {
    pump();
    InvalidateRect(handle(), nullptr, FALSE);
    PostQuitMessage(9);
    for (int i = 0; i < 3; i++)
        platform::runOnePendingRepaint();
    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 9u);
}

// The IUnknown of an object that outlives its users: one interface, no counting.
template <class Interface, const IID& kInterfaceId> class Uncounted : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        const bool known = IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, kInterfaceId);
        *out = known ? this : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// A data object that offers one block of one format.
class Data final : public Uncounted<IDataObject, IID_IDataObject> {
public:
    Data(CLIPFORMAT format, const void* data, size_t size) : format_(format) {
        block_ = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(block_), data, size);
        GlobalUnlock(block_);
    }
    ~Data() { GlobalFree(block_); }
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* medium) override {
        if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = OleDuplicateData(block_, format_, 0); // a copy the receiver frees
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override {
        return f->cfFormat == format_ && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    CLIPFORMAT format_;
    HGLOBAL block_;
};

// Drops when the left button goes up; remembers the last effect the target showed.
class Source final : public Uncounted<IDropSource, IID_IDropSource> {
public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        return escape ? DRAGDROP_S_CANCEL : (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
        shown = effect;
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }
    DWORD shown = 0xFF;
};

// A file list as the shell hands it over: DROPFILES, then the paths, then an empty one.
Data files(const std::vector<std::string>& paths) {
    std::vector<char> bytes(sizeof(DROPFILES));
    reinterpret_cast<DROPFILES*>(bytes.data())->pFiles = sizeof(DROPFILES);
    for (const std::string& p : paths)
        bytes.insert(bytes.end(), p.c_str(), p.c_str() + p.size() + 1);
    bytes.push_back(0);
    return Data(CF_HDROP, bytes.data(), bytes.size());
}

bool makeShortcut(const std::string& link, const std::string& target) {
    IShellLinkA* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shell))))
        return false;
    IPersistFile* file = nullptr;
    bool made = SUCCEEDED(shell->SetPath(target.c_str())) &&
                SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    if (made) {
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
        made = SUCCEEDED(file->Save(wide, TRUE));
        file->Release();
    }
    shell->Release();
    return made;
}

// Real drags from this program onto the window, the pointer moved by SendInput: the target
// shows a copy within what the source allows, never a move, and a drop nobody took is no copy.
TEST_F(Win32BackEnd, ARealDragShowsACopyAndADropTellsWhetherTheDataWasTaken) {
    ASSERT_TRUE(window->setDropEnabled(true));
    struct Case {
        DWORD allowed;
        bool take;
        DWORD shown, dropped;
    };
    const Case cases[] = {
        {DROPEFFECT_COPY | DROPEFFECT_MOVE, true, DROPEFFECT_COPY, DROPEFFECT_COPY},
        {DROPEFFECT_COPY, true, DROPEFFECT_COPY, DROPEFFECT_COPY},
        {DROPEFFECT_COPY | DROPEFFECT_MOVE, false, DROPEFFECT_COPY, DROPEFFECT_NONE},
        {DROPEFFECT_MOVE, true, DROPEFFECT_NONE, DROPEFFECT_NONE},
    };
    const char words[] = "dragged";
    int drops = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "allowed " << c.allowed << " take " << c.take);
        recorder.take = c.take;
        Data dragged(CF_TEXT, words, sizeof(words));
        Source source;
        SendInputHand hand;
        hand.move({600, 20});
        Sleep(150);
        pump();
        hand.button(true);
        std::function<void()> user = [&hand] {
            Sleep(200);
            for (int x = 600; x >= 400; x -= 20) {
                hand.move({x, 60});
                Sleep(30);
            }
            Sleep(150);
            hand.button(false);
        };
        HANDLE thread = startThread(user);
        DWORD effect = 0xFF;
        HRESULT result = DoDragDrop(&dragged, &source, c.allowed, &effect);
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
        EXPECT_EQ(source.shown & 7, c.shown);
        // a drop the target showed nothing for is no drop
        if (c.shown == DROPEFFECT_NONE) continue;
        EXPECT_EQ(result, DRAGDROP_S_DROP);
        EXPECT_EQ(effect, c.dropped);
        recorder.expectDrop(++drops, win32::kDropText, int32_t(sizeof(words)), {words}, {400, 60});
    }
}

TEST_F(Win32BackEnd, TextAndFileDropsReachTheWindowWithItemsCountAndType) {
    // the window is registered, and only once
    ASSERT_TRUE(window->setDropEnabled(true));
    auto* probe = new win32::UDropTarget(handle(), &recorder);
    probe->AddRef();
    EXPECT_EQ(RegisterDragDrop(handle(), probe), DRAGDROP_E_ALREADYREGISTERED);
    probe->Release();

    auto* target = new win32::UDropTarget(handle(), &recorder);
    target->AddRef();
    SetCursorPos(kHostLeft + 120, kHostTop + 33);
    POINTL point{kHostLeft + 120, kHostTop + 33};

    // effects: none for other data, else a copy within the allowed ones, Ctrl or not
    const char text[] = "dropped words";
    Data textData(CF_TEXT, text, sizeof(text));
    Data bitmapData(CF_BITMAP, text, sizeof(text));
    struct Effect {
        Data* data;
        DWORD keys, allowed, shown;
    };
    const Effect effects[] = {
        {&bitmapData, 0, DROPEFFECT_COPY, DROPEFFECT_NONE},
        {&textData, 0, DROPEFFECT_COPY | DROPEFFECT_MOVE, DROPEFFECT_COPY},
        {&textData, MK_CONTROL, DROPEFFECT_COPY, DROPEFFECT_COPY},
        {&textData, 0, DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_NONE},
    };
    for (const Effect& e : effects) {
        DWORD effect = e.allowed;
        EXPECT_EQ(target->DragEnter(e.data, e.keys, point, &effect), S_OK);
        EXPECT_EQ(effect, e.shown);
        effect = e.allowed;
        EXPECT_EQ(target->DragOver(e.keys | MK_LBUTTON, point, &effect), S_OK);
        EXPECT_EQ(effect, e.shown);
    }
    EXPECT_EQ(target->DragLeave(), S_OK);

    // text: one item, the block's size, at the pointer
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->Drop(&textData, 0, point, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    recorder.expectDrop(1, win32::kDropText, int32_t(sizeof(text)), {text}, {120, 33});

    // files: shortcuts resolved in any case, ".lnk.txt" left alone, too long paths left out
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + "quorvane-drop";
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string plain = dir + "\\plain.wav", target1 = dir + "\\target one.wav";
    std::string target2 = dir + "\\target2.wav", link1 = dir + "\\small.lnk";
    std::string link2 = dir + "\\CAPITAL.LNK", notLink = dir + "\\notes.lnk.txt";
    std::string broken = dir + "\\broken.lnk"; // not a shortcut inside
    for (const std::string& f : {plain, target1, target2, notLink, broken})
        std::ofstream{f}; // empty
    ASSERT_TRUE(makeShortcut(link1, target1));
    ASSERT_TRUE(makeShortcut(link2, target2));
    std::string longPath = dir + "\\" + std::string(1100, 'x') + ".wav";
    std::string justFits = "C:\\" + std::string(1016, 'y') + ".wav"; // 1023 bytes
    Data list = files({plain, link1, longPath, link2, notLink, broken, justFits});
    SetCursorPos(kHostLeft + 7, kHostTop + 190);
    recorder.take = true;
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target->DragEnter(&list, 0, point, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
    EXPECT_EQ(target->Drop(&list, 0, point, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
    recorder.expectDrop(2, win32::kDropFiles, 6,
                        {plain, target1, target2, notLink, broken, justFits}, {7, 190});

    // a list of nothing but unreadable paths is handed over empty
    Data longOnly = files({longPath});
    EXPECT_EQ(target->Drop(&longOnly, 0, point, &effect), S_OK);
    recorder.expectDrop(3, win32::kDropFiles, 0, {}, {7, 190});

    // after revoking, nothing reaches the window and the slot is free again
    EXPECT_TRUE(window->setDropEnabled(false));
    target->detach();
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->Drop(&textData, 0, point, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    EXPECT_EQ(recorder.drops, 3);
    target->Release();
    auto* again = new win32::UDropTarget(handle(), &recorder);
    EXPECT_EQ(RegisterDragDrop(handle(), again), S_OK);
    RevokeDragDrop(handle());
}

// The editor loads the image library from the system folder, not a file of that name planted in
// the host program's folder (the first place a bare name is looked for).
TEST_F(Win32Editor, TheImageLibraryComesFromTheSystemFolder) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, std::strrchr(path, '\\'));
    std::string planted = folder + "\\msimg32.dll";
    ASSERT_TRUE(CopyFileA((folder + "\\plant\\msimg32.dll").c_str(), planted.c_str(), FALSE));
    ASSERT_EQ(GetModuleHandleA("msimg32.dll"), nullptr);
    Editor& e = open();
    HMODULE library = GetModuleHandleA("msimg32.dll");
    ASSERT_NE(library, nullptr);
    char loaded[MAX_PATH] = "", system[MAX_PATH] = "";
    GetModuleFileNameA(library, loaded, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    dispatch(e.effect, effEditClose);
    DeleteFileA(planted.c_str());
    EXPECT_EQ(lstrcmpiA((std::string(system) + "\\msimg32.dll").c_str(), loaded), 0) << loaded;
}

// Where msimg32 has no TransparentBlt, the mask method keys the same pixels.
TEST_F(Win32BackEnd, TheMaskMethodKeysTheSamePixelsAsTransparentBlt) {
    ASSERT_NE(win32::transparentBlt(), nullptr);
    struct Copy {
        int32_t bitmap;
        platform::Rect dst;
        platform::Point src;
    };
    const Copy copies[] = {{129, {2, 2, 18, 72}, {0, 0}},
                           {130, {20, 2, 34, 14}, {0, 0}},
                           {130, {20, 20, 34, 26}, {0, 6}}};
    for (const Copy& c : copies) {
        auto bitmap = win32::loadResourceBitmap(c.bitmap);
        auto keyed = win32::Win32Offscreen::create(nullptr, 40, 80);
        auto masked = win32::Win32Offscreen::create(nullptr, 40, 80);
        ASSERT_TRUE(bitmap && keyed && masked);
        for (auto* surface : {keyed.get(), masked.get()}) {
            surface->device().setBrush(0x204060);
            surface->device().fillRect({-1, -1, 40, 80});
        }
        keyed->device().copyImageKeyed(*bitmap, c.dst, c.src, 0xFFFFFF);
        win32::maskedCopy(masked->sourceDC(), c.dst.left, c.dst.top, c.dst.right - c.dst.left,
                          c.dst.bottom - c.dst.top, bitmap->sourceDC(), c.src.x, c.src.y,
                          RGB(255, 255, 255));
        EXPECT_EQ(pixelsOf(*keyed), pixelsOf(*masked)) << c.bitmap;
    }
}

// The scene through GDI on an offscreen, written for the Linux side to compare with the raster
// engine, and the bitmaps of the table.
TEST_F(Win32BackEnd, DrawsTheSceneAndLoadsTheBitmapsOfTheTable) {
    // the open window has loaded the image library
    ASSERT_NE(win32::transparentBlt(), nullptr);
    using win32test::kSceneWidth, win32test::kSceneHeight;
    auto surface = win32::Win32Offscreen::create(nullptr, kSceneWidth, kSceneHeight);
    auto handle = win32::loadResourceBitmap(129);
    auto lamp = win32::loadResourceBitmap(130);
    ASSERT_TRUE(surface && handle && lamp);
    surface->device().setBrush(0xC0C0C0);
    surface->device().fillRect({-1, -1, kSceneWidth, kSceneHeight});
    win32test::drawScene(surface->device(), *handle, *lamp);
    save("scene", pixelsOf(*surface), kSceneWidth, kSceneHeight);
    const int sizes[][3] = {{128, 900, 202}, {129, 16, 70},  {130, 14, 12}, {131, 604, 27},
                            {132, 604, 27},  {133, 31, 135}, {134, 27, 56}};
    for (const auto& s : sizes) {
        auto bitmap = platform::loadBitmap(s[0]);
        ASSERT_TRUE(bitmap) << s[0];
        EXPECT_EQ(bitmap->width(), s[1]);
        EXPECT_EQ(bitmap->height(), s[2]);
    }
    EXPECT_EQ(platform::loadBitmap(135), nullptr);
    EXPECT_NE(platform::loadBitmap(0x10000 + 130), nullptr);
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: win32_editor_host MODULE.dll OUTPUT-DIRECTORY\n");
        return 2;
    }
    // the back end is linked in: its window class and bitmaps belong to this program
    win32::setModuleInstance(GetModuleHandleA(nullptr));
    modulePath = argv[1];
    outputDir = argv[2];
    OleInitialize(nullptr);
    int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
