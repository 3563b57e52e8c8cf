// Builds a real drop handle (a DROPFILES block in movable global memory), as the shell hands one to a
// window in WM_DROPFILES. Whoever receives it calls DragFinish, which frees it.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

inline HDROP MakeDropHandle(const std::vector<std::wstring>& paths) {
    size_t chars = 1; // the list's final terminator
    for (const auto& p : paths) {
        chars += p.size() + 1;
    }
    const size_t bytes = sizeof(DROPFILES) + chars * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
    if (memory == nullptr) {
        return nullptr;
    }
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* cursor = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const auto& p : paths) {
        std::memcpy(cursor, p.c_str(), (p.size() + 1) * sizeof(wchar_t));
        cursor += p.size() + 1;
    }
    *cursor = L'\0';
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}
