// A small Win32 host, run under wine by win32_editor_tests: it loads the 64-bit module, opens the
// editor in a window of its own, plays real input with SendInput, reads the screen back with
// BitBlt, and drives the back end's drop target and drawing directly. It writes what it saw to
// a report (one fact per line) and the screen grabs as raw files; the Linux side judges them.
//
//   win32_editor_host MODULE.dll OUTPUT-DIRECTORY

#include "gui/platform/win32/udroptarget.h"
#include "gui/platform/win32/win32module.h"
#include "gui/platform/win32/win32moduleuse.h"
#include "gui/platform/win32/win32picture.h"
#include "gui/platform/win32/win32window.h"
#include "scene.h"
#include "shell/aeffect.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <shlobj.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

using namespace quorvane;
namespace win32 = quorvane::platform::win32;

constexpr int kWidth = 900;
constexpr int kHeight = 202;
constexpr int kLeft = 30; // where the host window sits on the screen
constexpr int kTop = 40;

std::string outputDir;
FILE* report = nullptr;
std::string currentCase;

void line(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vfprintf(report, format, args);
    va_end(args);
    fputc('\n', report);
    fflush(report);
}

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) line("fail %s line %d: %s", currentCase.c_str(), __LINE__, #condition);  \
    } while (0)

bool nearlyEqual(float a, float b) {
    return a - b < 1e-6f && b - a < 1e-6f;
}

void value(const char* key, double v) {
    line("value %s %s %.9g", currentCase.c_str(), key, v);
}

// --- the host side of the plug-in interface

struct Request {
    int32_t opcode;
    int32_t index;
    float opt;
};
std::vector<Request> requests;

DWORD mainThread = GetCurrentThreadId();

// Records the requests made on the main thread; editors on other threads are not watched.
intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t index, intptr_t, void*,
                                  float opt) {
    if (GetCurrentThreadId() == mainThread) requests.push_back({opcode, index, opt});
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetSampleRate) return 44100;
    return 0;
}

HMODULE module = nullptr;

AEffect* createEffect() {
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
        reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    return entry ? entry(hostCallback) : nullptr;
}

intptr_t dispatch(AEffect* e, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

std::vector<Request> edits() {
    std::vector<Request> found;
    for (const Request& r : requests) {
        if (r.opcode == audioMasterBeginEdit || r.opcode == audioMasterEndEdit ||
            r.opcode == audioMasterAutomate)
            found.push_back(r);
    }
    return found;
}

// --- windows, messages and the screen

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
                                  kLeft, kTop, kWidth, kHeight, nullptr, nullptr,
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

// The host's loop: editor idles and messages, every 5 ms.
void idleFor(AEffect* effect, DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while (int32_t(GetTickCount() - end) < 0) {
        if (effect) dispatch(effect, effEditIdle);
        pump();
        Sleep(5);
    }
}

// The screen under the host window as 0x00RRGGBB, written to OUTPUT/name.raw (width, height as
// 32-bit numbers, then the rows).
std::vector<uint32_t> grab(HWND window, int width = kWidth, int height = kHeight) {
    RECT rect{};
    GetWindowRect(window, &rect);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    std::vector<uint32_t> pixels(size_t(width) * height);
    std::memcpy(pixels.data(), bits, pixels.size() * 4);
    for (uint32_t& p : pixels)
        p &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

void save(const char* name, const std::vector<uint32_t>& pixels, int width, int height) {
    std::string path = outputDir + "\\" + name + ".raw";
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) {
        line("fail %s: cannot write %s", currentCase.c_str(), path.c_str());
        return;
    }
    int32_t size[2] = {width, height};
    fwrite(size, sizeof(size), 1, file);
    fwrite(pixels.data(), 4, pixels.size(), file);
    fclose(file);
    line("grab %s %s", currentCase.c_str(), name);
}

// The panel as it is on the screen now, with the delay the panel shows.
void savePanel(const char* name, HWND host, AEffect* effect) {
    save(name, grab(host), kWidth, kHeight);
    line("value %s %s.delay %.9g", currentCase.c_str(), name, effect->getParameter(effect, 0));
}

// --- real input

void sendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    SendInput(1, &input, sizeof(input));
}
void moveTo(int x, int y) {
    sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, kLeft + x, kTop + y);
}
void leftButton(bool down) {
    sendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
}
void key(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
}

// Runs script on a thread of its own (a user at the mouse) while the host keeps idling the
// editor; the editor's drag loops run inside those idles and messages.
void gesture(AEffect* effect, const std::function<void()>& script) {
    HANDLE user = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            (*static_cast<const std::function<void()>*>(p))();
            return 0;
        },
        const_cast<std::function<void()>*>(&script), 0, nullptr);
    while (WaitForSingleObject(user, 0) == WAIT_TIMEOUT) {
        dispatch(effect, effEditIdle);
        pump();
        Sleep(5);
    }
    CloseHandle(user);
    idleFor(effect, 150);
}

void click(AEffect* effect, int x, int y, bool control = false) {
    gesture(effect, [&] {
        // under wine a press that follows a move too closely is seen as released
        moveTo(x, y);
        Sleep(150);
        if (control) key(VK_CONTROL, true);
        leftButton(true);
        Sleep(100);
        leftButton(false);
        if (control) key(VK_CONTROL, false);
        Sleep(30);
    });
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

// Windows of this thread, children included; the only user objects the editor makes.
int userObjects() {
    DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (counted) return int(counted);
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM p) -> BOOL {
            auto* n = reinterpret_cast<int*>(p);
            ++*n;
            EnumChildWindows(
                window, [](HWND, LPARAM q) -> BOOL { return ++*reinterpret_cast<int*>(q), TRUE; },
                p);
            return TRUE;
        },
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

// --- the editor through the module

struct Editor {
    HWND host = makeHostWindow();
    AEffect* effect = createEffect();

    ~Editor() {
        if (effect) dispatch(effect, effClose);
        if (IsWindow(host)) DestroyWindow(host);
        pump();
    }
    bool open() {
        requests.clear();
        if (dispatch(effect, effEditOpen, 0, 0, host) != 1) return false;
        idleFor(effect, 250);
        return true;
    }
};

void casePanel() {
    Editor editor;
    CHECK(editor.effect != nullptr);
    // a parent that is no window gives no editor
    CHECK(dispatch(editor.effect, effEditOpen, 0, 0, reinterpret_cast<void*>(0x7ff0)) == 0);
    dispatch(editor.effect, effEditIdle);
    dispatch(editor.effect, effEditClose);
    CHECK(editor.open());
    CHECK(childCount(editor.host) == 1);
    HWND child = GetWindow(editor.host, GW_CHILD);
    char name[64] = "";
    GetClassNameA(child, name, sizeof(name));
    CHECK(moduleClassName(module) == name);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    CHECK((style & WS_CHILD) && (style & WS_VISIBLE));
    RECT r{};
    GetWindowRect(child, &r);
    CHECK(r.left == kLeft && r.top == kTop && r.right == kLeft + kWidth &&
          r.bottom == kTop + kHeight);
    savePanel("panel", editor.host, editor.effect);
    // what the host paints over comes back through the paint message
    RECT hole{100, 20, 400, 120};
    InvalidateRect(child, &hole, TRUE);
    idleFor(editor.effect, 100);
    savePanel("repainted", editor.host, editor.effect);
    dispatch(editor.effect, effEditClose);
    CHECK(childCount(editor.host) == 0);
    CHECK(!classRegistered(module));
}

void caseDrag() {
    Editor editor;
    CHECK(editor.open());
    requests.clear();
    float heldValue = -1.0f;
    gesture(editor.effect, [&] {
        // grab low on the track, move up in steps, stop and hold still, move on, let go
        moveTo(831, 168);
        Sleep(150);
        leftButton(true);
        for (int y = 168; y >= 140; y -= 4) {
            moveTo(831, y);
            Sleep(20);
        }
        Sleep(300);
        heldValue = editor.effect->getParameter(editor.effect, 0);
        save("held", grab(editor.host), kWidth, kHeight);
        for (int y = 136; y >= 120; y -= 4) {
            moveTo(831, y);
            Sleep(20);
        }
        leftButton(false);
    });
    line("value drag held.delay %.9g", heldValue);
    std::vector<Request> found = edits();
    value("edits", double(found.size()));
    CHECK(found.size() >= 4);
    if (found.size() >= 4) {
        CHECK(found.front().opcode == audioMasterBeginEdit && found.front().index == 0);
        CHECK(found.back().opcode == audioMasterEndEdit && found.back().index == 0);
        bool rising = true, automates = true;
        for (size_t i = 1; i + 1 < found.size(); i++) {
            automates &= found[i].opcode == audioMasterAutomate && found[i].index == 0;
            if (i > 1) rising &= found[i].opt >= found[i - 1].opt;
        }
        CHECK(automates);
        CHECK(rising);
        CHECK(found[found.size() - 2].opt > found[1].opt);
        CHECK(found[found.size() - 2].opt == editor.effect->getParameter(editor.effect, 0));
    }
    savePanel("released", editor.host, editor.effect);
}

void caseCtrlClick() {
    Editor editor;
    CHECK(editor.open());
    editor.effect->setParameter(editor.effect, 0, 0.9f);
    idleFor(editor.effect, 100);
    requests.clear();
    click(editor.effect, 831, 150, true);
    CHECK(editor.effect->getParameter(editor.effect, 0) == 0.5f);
    for (const Request& r : edits())
        CHECK(r.opcode != audioMasterBeginEdit && r.opcode != audioMasterEndEdit);
    savePanel("restored", editor.host, editor.effect);
}

void caseSwitches() {
    Editor editor;
    CHECK(editor.open());
    struct Zone {
        int x, y, index;
        float value;
    };
    const Zone zones[] = {{98, 62, 5, 0.5f},  {98, 77, 5, 1.0f},  {98, 47, 5, 0.0f},
                          {98, 144, 6, 0.5f}, {98, 159, 6, 1.0f}, {98, 129, 6, 0.0f},
                          {806, 60, 7, 1.0f}, {806, 47, 7, 0.0f}};
    for (const Zone& z : zones) {
        requests.clear();
        click(editor.effect, z.x, z.y);
        float now = editor.effect->getParameter(editor.effect, z.index);
        if (now != z.value)
            line("fail switches: click at %d,%d gave parameter %d = %g, not %g", z.x, z.y, z.index,
                 now, z.value);
        std::vector<Request> found = edits();
        bool bracket = found.size() >= 3 && found.front().opcode == audioMasterBeginEdit &&
                       found.front().index == z.index && found[1].opcode == audioMasterAutomate &&
                       found[1].opt == z.value && found.back().opcode == audioMasterEndEdit;
        if (!bracket) line("fail switches: click at %d,%d was not bracketed", z.x, z.y);
    }
    // the last lamp state of each switch on the screen
    editor.effect->setParameter(editor.effect, 5, 1.0f);
    editor.effect->setParameter(editor.effect, 6, 0.5f);
    editor.effect->setParameter(editor.effect, 7, 1.0f);
    idleFor(editor.effect, 100);
    savePanel("lamps", editor.host, editor.effect);
}

void caseKeys() {
    Editor editor;
    CHECK(editor.open());
    editor.effect->setParameter(editor.effect, 0, 0.5f);
    CHECK(dispatch(editor.effect, effEditKeyDown, 0, VKEY_UP) == 1);
    CHECK(nearlyEqual(editor.effect->getParameter(editor.effect, 0), 0.6f));
    CHECK(dispatch(editor.effect, effEditKeyDown, 0, VKEY_DOWN, nullptr, 1.0f) == 1);
    CHECK(nearlyEqual(editor.effect->getParameter(editor.effect, 0), 0.59f));
    idleFor(editor.effect, 100);
    savePanel("stepped", editor.host, editor.effect);
}

void caseOpenClose() {
    Editor editor;
    CHECK(editor.open());
    dispatch(editor.effect, effEditClose);
    pump();
    int gdi = gdiObjects();
    int user = userObjects();
    value("gdi.before", gdi);
    value("user.before", user);
    for (int i = 0; i < 100; i++) {
        if (dispatch(editor.effect, effEditOpen, 0, 0, editor.host) != 1) {
            line("fail openclose: open %d answered 0", i);
            break;
        }
        dispatch(editor.effect, effEditIdle);
        pump();
        dispatch(editor.effect, effEditIdle);
        dispatch(editor.effect, effEditClose);
    }
    pump();
    value("gdi.after", gdiObjects());
    value("user.after", userObjects());
    CHECK(gdiObjects() <= gdi);
    CHECK(userObjects() <= user);
    CHECK(childCount(editor.host) == 0);
    CHECK(!classRegistered(module));
}

void caseTwoEditors() {
    Editor first;
    Editor second;
    CHECK(first.open());
    CHECK(second.open());
    CHECK(classRegistered(module));
    dispatch(first.effect, effEditClose);
    CHECK(classRegistered(module));
    CHECK(childCount(second.host) == 1);
    dispatch(second.effect, effEditClose);
    CHECK(!classRegistered(module));
}

// Editors opened and closed on two threads at once share the class safely.
void caseThreads() {
    struct Work {
        HWND host;
        AEffect* effect;
        int failures = 0;
    };
    auto run = [](void* p) -> DWORD {
        auto* w = static_cast<Work*>(p);
        w->host = makeHostWindow();
        for (int i = 0; i < 40; i++) {
            if (dispatch(w->effect, effEditOpen, 0, 0, w->host) != 1 || childCount(w->host) != 1)
                w->failures++;
            dispatch(w->effect, effEditIdle);
            pump();
            dispatch(w->effect, effEditClose);
            if (childCount(w->host) != 0) w->failures++;
        }
        DestroyWindow(w->host);
        return 0;
    };
    Work a{nullptr, createEffect()};
    Work b{nullptr, createEffect()};
    HANDLE threads[2] = {CreateThread(nullptr, 0, run, &a, 0, nullptr),
                         CreateThread(nullptr, 0, run, &b, 0, nullptr)};
    WaitForMultipleObjects(2, threads, TRUE, 60000);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    CHECK(a.failures == 0);
    CHECK(b.failures == 0);
    CHECK(!classRegistered(module));
    dispatch(a.effect, effClose);
    dispatch(b.effect, effClose);
}

void caseParentDestroyed() {
    Editor editor;
    CHECK(editor.open());
    DestroyWindow(editor.host);
    editor.effect->setParameter(editor.effect, 0, 0.1f);
    idleFor(editor.effect, 60);
    CHECK(dispatch(editor.effect, effEditKeyDown, 0, VKEY_UP) != 0);
    dispatch(editor.effect, effEditClose);
    CHECK(!classRegistered(module));
    // and the editor opens again in a new parent
    editor.host = makeHostWindow();
    CHECK(editor.open());
    CHECK(childCount(editor.host) == 1);
}

void caseEffectClosed() {
    Editor editor;
    CHECK(editor.open());
    dispatch(editor.effect, effClose);
    editor.effect = nullptr;
    CHECK(childCount(editor.host) == 0);
    CHECK(!classRegistered(module));
}

// --- the back end on its own

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
        return false;
    }
    int drops = 0;
    int32_t count = -1;
    int32_t type = -1;
    platform::Point where;
    std::vector<std::string> texts;
};

// A data object that offers one block of one format.
class Data final : public IDataObject {
public:
    Data(CLIPFORMAT format, HGLOBAL block) : format_(format), block_(block) {}
    ~Data() { GlobalFree(block_); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDataObject)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* medium) override {
        if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
        // a copy the receiver frees
        SIZE_T size = GlobalSize(block_);
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(copy), GlobalLock(block_), size);
        GlobalUnlock(copy);
        GlobalUnlock(block_);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
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

// Drops when the left button goes up.
class Source final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropSource)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape) return DRAGDROP_S_CANCEL;
        return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

HGLOBAL block(const void* data, size_t size) {
    HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(b), data, size);
    GlobalUnlock(b);
    return b;
}

// A file list as the shell hands it over: DROPFILES, then the paths, then an empty one.
HGLOBAL fileList(const std::vector<std::string>& paths) {
    std::vector<char> bytes(sizeof(DROPFILES));
    auto* header = reinterpret_cast<DROPFILES*>(bytes.data());
    header->pFiles = sizeof(DROPFILES);
    for (const std::string& p : paths)
        bytes.insert(bytes.end(), p.c_str(), p.c_str() + p.size() + 1);
    bytes.push_back(0);
    return block(bytes.data(), bytes.size());
}

void writeFile(const std::string& path) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f) fclose(f);
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

// The long form of a path (a resolved shortcut comes back in its short form), or the path
// itself when it has none.
std::string longName(const std::string& path) {
    char buffer[MAX_PATH] = "";
    if (!GetLongPathNameA(path.c_str(), buffer, MAX_PATH)) return path;
    return buffer;
}

void caseDrop() {
    HWND host = makeHostWindow();
    Recorder recorder;
    auto window = platform::createChildWindow(host, kWidth, kHeight, &recorder);
    CHECK(window != nullptr);
    if (!window) return;
    HWND hwnd = static_cast<win32::Win32Window*>(window.get())->handle();
    // the window is registered, and only once
    CHECK(window->setDropEnabled(true));
    {
        auto* probe = new win32::UDropTarget(hwnd, &recorder);
        probe->AddRef();
        CHECK(RegisterDragDrop(hwnd, probe) == DRAGDROP_E_ALREADYREGISTERED);
        probe->Release();
    }

    // a real drag from this program onto the window, the pointer moved by SendInput
    {
        const char words[] = "dragged";
        Data dragged(CF_TEXT, block(words, sizeof(words)));
        Source source;
        moveTo(600, 20);
        Sleep(150);
        pump();
        leftButton(true);
        HANDLE user = CreateThread(
            nullptr, 0,
            [](void*) -> DWORD {
                Sleep(200);
                for (int x = 600; x >= 400; x -= 20) {
                    moveTo(x, 60);
                    Sleep(30);
                }
                Sleep(150);
                leftButton(false);
                return 0;
            },
            nullptr, 0, nullptr);
        DWORD effect = 0;
        HRESULT result = DoDragDrop(&dragged, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
        WaitForSingleObject(user, 5000);
        CloseHandle(user);
        value("dodragdrop", double(result));
        CHECK(result == DRAGDROP_S_DROP);
        CHECK(recorder.drops == 1 && recorder.type == win32::kDropText &&
              recorder.count == int32_t(sizeof(words)));
        CHECK(recorder.texts.size() == 1 && recorder.texts[0] == words);
        CHECK(recorder.where.x == 400 && recorder.where.y == 60);
        recorder.drops = 0;
    }

    auto* target = new win32::UDropTarget(hwnd, &recorder);
    target->AddRef();
    SetCursorPos(kLeft + 120, kTop + 33);
    POINTL point{kLeft + 120, kTop + 33};

    // effects: none for other data, copy with Ctrl, move otherwise
    const char text[] = "dropped words";
    Data textData(CF_TEXT, block(text, sizeof(text)));
    Data bitmapData(CF_BITMAP, block(text, sizeof(text)));
    DWORD effect = 0xFF;
    CHECK(target->DragEnter(&bitmapData, 0, point, &effect) == S_OK && effect == DROPEFFECT_NONE);
    effect = 0xFF;
    CHECK(target->DragOver(MK_CONTROL, point, &effect) == S_OK && effect == DROPEFFECT_NONE);
    CHECK(target->DragEnter(&textData, MK_CONTROL, point, &effect) == S_OK &&
          effect == DROPEFFECT_COPY);
    CHECK(target->DragOver(MK_LBUTTON, point, &effect) == S_OK && effect == DROPEFFECT_MOVE);
    CHECK(target->DragOver(MK_LBUTTON | MK_CONTROL, point, &effect) == S_OK &&
          effect == DROPEFFECT_COPY);
    CHECK(target->DragLeave() == S_OK);

    // text: one item, the block's size, at the pointer
    CHECK(target->Drop(&textData, 0, point, &effect) == S_OK);
    CHECK(recorder.drops == 1);
    CHECK(recorder.type == win32::kDropText);
    CHECK(recorder.count == int32_t(sizeof(text)));
    CHECK(recorder.texts.size() == 1 && recorder.texts[0] == text);
    CHECK(recorder.where.x == 120 && recorder.where.y == 33);

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
        writeFile(f);
    CHECK(makeShortcut(link1, target1));
    CHECK(makeShortcut(link2, target2));
    std::string longPath = dir + "\\" + std::string(1100, 'x') + ".wav";
    std::string justFits = "C:\\" + std::string(1016, 'y') + ".wav"; // 1023 bytes
    Data files(CF_HDROP, fileList({plain, link1, longPath, link2, notLink, broken, justFits}));
    SetCursorPos(kLeft + 7, kTop + 190);
    CHECK(target->DragEnter(&files, 0, point, &effect) == S_OK && effect == DROPEFFECT_MOVE);
    CHECK(target->Drop(&files, 0, point, &effect) == S_OK);
    CHECK(recorder.drops == 2);
    CHECK(recorder.type == win32::kDropFiles);
    CHECK(recorder.count == 6);
    const std::vector<std::string> expected = {plain, target1, target2, notLink, broken, justFits};
    CHECK(recorder.texts.size() == expected.size());
    for (size_t i = 0; i < expected.size() && i < recorder.texts.size(); i++) {
        if (longName(recorder.texts[i]) != longName(expected[i]))
            line("fail drop: file %d is %s", int(i), recorder.texts[i].c_str());
    }
    for (size_t i = 0; i < recorder.texts.size(); i++)
        line("value drop file%d %s", int(i),
             recorder.texts[i].size() < 200 ? recorder.texts[i].c_str() : "(long)");
    CHECK(recorder.where.x == 7 && recorder.where.y == 190);

    // a list of nothing but unreadable paths is handed over empty
    Data longOnly(CF_HDROP, fileList({longPath}));
    CHECK(target->Drop(&longOnly, 0, point, &effect) == S_OK);
    CHECK(recorder.drops == 3 && recorder.count == 0);

    // after revoking, nothing reaches the window and the slot is free again
    CHECK(window->setDropEnabled(false));
    target->detach();
    CHECK(target->Drop(&textData, 0, point, &effect) == S_OK);
    CHECK(recorder.drops == 3);
    target->Release();
    auto* again = new win32::UDropTarget(hwnd, &recorder);
    CHECK(RegisterDragDrop(hwnd, again) == S_OK);
    RevokeDragDrop(hwnd);
    window.reset();
    DestroyWindow(host);
}

// The scene through GDI, with TransparentBlt and with the mask method, written for the Linux
// side to compare with the raster engine.
std::vector<uint32_t> offscreenPixels(win32::Win32Offscreen& surface) {
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

std::vector<uint32_t> drawSceneOnce() {
    auto surface =
        win32::Win32Offscreen::create(nullptr, win32test::kSceneWidth, win32test::kSceneHeight);
    auto handle = win32::loadResourceBitmap(129);
    auto lamp = win32::loadResourceBitmap(130);
    if (!surface || !handle || !lamp) return {};
    platform::Device& d = surface->device();
    d.setBrush(0xC0C0C0);
    d.fillRect({-1, -1, win32test::kSceneWidth, win32test::kSceneHeight});
    win32test::drawScene(d, *handle, *lamp);
    return offscreenPixels(*surface);
}

void caseScene() {
    // an open window loads the image library; both ways of keying must then agree
    HWND host = makeHostWindow();
    Recorder recorder;
    auto window = platform::createChildWindow(host, 10, 10, &recorder);
    CHECK(win32::transparentBlt() != nullptr);
    std::vector<uint32_t> keyed = drawSceneOnce();
    win32::forceMaskMethod(true);
    std::vector<uint32_t> masked = drawSceneOnce();
    win32::forceMaskMethod(false);
    CHECK(!keyed.empty());
    CHECK(keyed == masked);
    save("scene", keyed, win32test::kSceneWidth, win32test::kSceneHeight);
    save("scene-masked", masked, win32test::kSceneWidth, win32test::kSceneHeight);
    // the resources have the sizes of the table
    const int sizes[][3] = {{128, 900, 202}, {129, 16, 70},  {130, 14, 12}, {131, 604, 27},
                            {132, 604, 27},  {133, 31, 135}, {134, 27, 56}};
    for (const auto& s : sizes) {
        auto bitmap = platform::loadBitmap(s[0]);
        if (!bitmap || bitmap->width() != s[1] || bitmap->height() != s[2])
            line("fail scene: bitmap %d is missing or has the wrong size", s[0]);
    }
    CHECK(platform::loadBitmap(135) == nullptr);
    CHECK(platform::loadBitmap(0x10000 + 130) != nullptr);
    window.reset();
    DestroyWindow(host);
}

void run(const char* name, void (*test)()) {
    currentCase = name;
    line("case %s", name);
    test();
    line("end %s", name);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: win32_editor_host MODULE.dll OUTPUT-DIRECTORY\n");
        return 2;
    }
    // the back end is linked in: its window class and bitmaps belong to this program
    win32::setModuleInstance(GetModuleHandleA(nullptr));
    outputDir = argv[2];
    report = fopen((outputDir + "\\report.txt").c_str(), "w");
    if (!report) return 3;
    OleInitialize(nullptr);
    module = LoadLibraryA(argv[1]);
    line("module %s", module ? "loaded" : "missing");
    if (module) {
        run("panel", casePanel);
        run("drag", caseDrag);
        run("ctrlclick", caseCtrlClick);
        run("switches", caseSwitches);
        run("keys", caseKeys);
        run("openclose", caseOpenClose);
        run("twoeditors", caseTwoEditors);
        run("threads", caseThreads);
        run("parentdestroyed", caseParentDestroyed);
        run("effectclosed", caseEffectClosed);
    }
    run("drop", caseDrop);
    run("scene", caseScene);
    line("done");
    fclose(report);
    OleUninitialize();
    return 0;
}
