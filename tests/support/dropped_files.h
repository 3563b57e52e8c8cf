// Hands a window a real WM_DROPFILES message, as the shell does when files are dropped on it, so that a
// test (or a scripted drop in a test runtime) goes through the program's own drop handling.
#pragma once

#include "platform/unique_handle.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

struct GlobalMemTraits {
    using Type = HGLOBAL;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::GlobalFree(h); }
};
using UniqueGlobalMem = UniqueHandle<GlobalMemTraits>;

// A drop handle (a DROPFILES block of wide paths, dropped at client point 20,20) listing `paths`; an
// empty list makes a drop that carries no file. Invalid when out of memory or when a path is empty or
// holds a NUL, which would split the list.
inline UniqueGlobalMem MakeDropHandle(const std::vector<std::wstring>& paths) noexcept {
    size_t units = 1; // the list ends with an empty string
    for (const std::wstring& path : paths) {
        if (path.empty() || path.find(L'\0') != std::wstring::npos) {
            return {};
        }
        units += path.size() + 1;
    }
    UniqueGlobalMem memory(::GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t)));
    auto* drop = memory ? static_cast<DROPFILES*>(::GlobalLock(memory.get())) : nullptr;
    if (drop == nullptr) {
        return {};
    }
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = POINT{20, 20};
    drop->fNC = FALSE;
    drop->fWide = TRUE;
    auto* list = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        std::memcpy(list, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        list += path.size() + 1;
    }
    *list = L'\0';
    ::GlobalUnlock(memory.get());
    return memory;
}

// Posts WM_DROPFILES with a drop handle listing `paths`. The receiver owns the handle and ends the
// drop with DragFinish; it is freed here only when the post fails.
inline HRESULT PostDroppedFiles(HWND window, const std::vector<std::wstring>& paths) noexcept {
    UniqueGlobalMem memory = MakeDropHandle(paths);
    if (!memory) {
        return E_INVALIDARG;
    }
    if (!::PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory.get()), 0)) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    static_cast<void>(memory.release());
    return S_OK;
}
