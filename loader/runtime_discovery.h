// Finding the runtime's client library: in a fixed folder, or among the installed runtimes.
#pragma once

#include "loader/loader_settings.h"

#include <windows.h>

#include <string>

// The client library inside `folder`, taken relative to the executable's folder unless it is absolute
// ("X:\..." or "\\..."). A missing library is written to the debugger and reported as file not found.
HRESULT FindClientDllInFolder(PCWSTR folder, std::wstring& dllPath) noexcept;

// The release channels in the order `settings` choose, each looked for in the per-machine registry, the
// per-user registry and then its app package; the first usable runtime wins.
HRESULT FindInstalledClientDll(const LoaderSettings& settings, std::wstring& dllPath) noexcept;
