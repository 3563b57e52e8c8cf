// A function that a loaded module exports, looked up by name with its own type.
#pragma once

#include <windows.h>

// Null when `module` is null or does not export `name`. FARPROC is a generic function pointer; going
// through void* keeps the conversion free of warnings.
template <typename Function> Function FindExport(HMODULE module, const char* name) noexcept {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}
