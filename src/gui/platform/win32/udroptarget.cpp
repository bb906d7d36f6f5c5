#include "gui/platform/win32/udroptarget.h"

#include <cstring>
#include <memory>
#include <new>
#include <shlobj.h>
#include <shobjidl.h>
#include <vector>

namespace quorvane::win32 {

namespace {

FORMATETC format(CLIPFORMAT type) {
    return FORMATETC{type, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// As the storage asks: through its release interface, or by freeing its block.
void release(STGMEDIUM& medium) {
    if (medium.pUnkForRelease)
        medium.pUnkForRelease->Release();
    else if (medium.hGlobal)
        GlobalFree(medium.hGlobal);
}

// A copy when the source allows it, otherwise nothing.
DWORD copyWithin(DWORD allowed) {
    return (allowed & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

bool endsInLnk(const char* path) {
    const char* dot = std::strrchr(path, '.');
    return dot && lstrcmpiA(dot, ".lnk") == 0;
}

} // namespace

UDropTarget::UDropTarget(HWND window, platform::WindowEvents* events)
    : window_(window), events_(events) {}

HRESULT STDMETHODCALLTYPE UDropTarget::QueryInterface(REFIID id, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
        *out = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE UDropTarget::AddRef() {
    return ULONG(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE UDropTarget::Release() {
    LONG count = InterlockedDecrement(&references_);
    if (count <= 0) delete this;
    return ULONG(count < 0 ? 0 : count);
}

HRESULT STDMETHODCALLTYPE UDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                                 DWORD* effect) {
    accept_ = false;
    if (data) {
        FORMATETC text = format(CF_TEXT);
        FORMATETC files = format(CF_HDROP);
        accept_ = data->QueryGetData(&text) == S_OK || data->QueryGetData(&files) == S_OK;
    }
    if (accept_) return DragOver(keys, point, effect);
    if (effect) *effect = DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE UDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
    if (!effect) return E_INVALIDARG;
    *effect = accept_ ? copyWithin(*effect) : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE UDropTarget::DragLeave() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE UDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    // the owner may close the window while it handles the drop
    AddRef();
    DWORD allowed = effect ? *effect : DROPEFFECT_NONE;
    taken_ = false;
    if (data && events_) {
        FORMATETC text = format(CF_TEXT);
        FORMATETC files = format(CF_HDROP);
        STGMEDIUM medium{};
        if (data->GetData(&text, &medium) == S_OK) {
            if (medium.hGlobal) dropText(medium.hGlobal);
            release(medium);
        } else if (data->GetData(&files, &medium) == S_OK) {
            if (medium.hGlobal) dropFiles(static_cast<HDROP>(medium.hGlobal));
            release(medium);
        }
    }
    // the source deletes moved data: only a copy, and only of data that was taken
    if (effect) *effect = taken_ ? copyWithin(allowed) : DROPEFFECT_NONE;
    DragLeave();
    Release();
    return S_OK;
}

void UDropTarget::detach() {
    events_ = nullptr;
    window_ = nullptr;
}

platform::Point UDropTarget::location() const {
    POINT pointer{};
    GetCursorPos(&pointer);
    RECT rect{};
    if (window_) GetWindowRect(window_, &rect);
    return {pointer.x - rect.left, pointer.y - rect.top};
}

void UDropTarget::dropText(HGLOBAL block) {
    void* text = GlobalLock(block);
    SIZE_T size = GlobalSize(block);
    if (text && size) {
        void* items[] = {text};
        int32_t count = size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size);
        taken_ = events_->onDrop(items, count, kDropText, location());
    }
    if (text) GlobalUnlock(block);
}

void UDropTarget::dropFiles(HDROP list) {
    UINT n = DragQueryFileA(list, 0xFFFFFFFF, nullptr, 0);
    if (n == 0) return;
    // collect: unreadable or too long paths are left out, shortcuts become their targets
    std::vector<char*> paths;
    try {
        paths.reserve(n);
        for (UINT i = 0; i < n; i++) {
            UINT length = DragQueryFileA(list, i, nullptr, 0);
            if (length == 0 || length >= UINT(kPathBytes)) continue;
            std::unique_ptr<char[]> path(new char[kPathBytes]());
            if (DragQueryFileA(list, i, path.get(), kPathBytes) != length) continue;
            resolveShortcut(path.get());
            paths.push_back(path.release());
        }
        taken_ = events_->onDrop(reinterpret_cast<void**>(paths.data()), int32_t(paths.size()),
                                 kDropFiles, location());
    } catch (...) {
    }
    for (char* path : paths)
        delete[] path;
}

bool resolveShortcut(char* path) {
    if (!endsInLnk(path)) return false;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return false;
    // load, resolve without asking the user (500 ms search), read the target's path
    bool resolved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[2 * kPathBytes];
        char target[kPathBytes] = "";
        if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, 2 * kPathBytes) > 0 &&
            SUCCEEDED(file->Load(wide, STGM_READ)) &&
            SUCCEEDED(link->Resolve(nullptr, MAKELONG(SLR_NO_UI | SLR_ANY_MATCH, 500))) &&
            link->GetPath(target, kPathBytes, nullptr, SLGP_SHORTPATH) == S_OK && target[0]) {
            std::memcpy(path, target, kPathBytes);
            resolved = true;
        }
        file->Release();
    }
    link->Release();
    return resolved;
}

} // namespace quorvane::win32
