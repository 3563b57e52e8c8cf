// A runtime registered by its updater in the registry.
#pragma once

#include <windows.h>

#include <string>

// Opens `subKey` of `hive` in its 32-bit view and takes the runtime folder from the value "EBWebView",
// or, for the browser's own key (`useLocationValues`), from "location" followed by "\" and "pv". The
// folder's last component is the version. True when the candidate is accepted; `dllPath` then holds
// its client library's path.
bool ReadRegisteredRuntime(PCWSTR subKey, bool useLocationValues, HKEY hive, std::wstring& dllPath) noexcept;
