// Whether one runtime folder can serve: recent enough, and its client library there and openable.
#pragma once

#include "loader/runtime_version.h"

#include <windows.h>

#include <string>

// The client library inside a runtime folder; this build is for x86-64 only.
inline constexpr PCWSTR kClientDllRelativePath = L"EBWebView\\x64\\EmbeddedBrowserWebView.dll";

// Appends "\" and the client library's relative path to `path` (whatever `path` ends with) and
// accepts when the file exists and can be opened for reading and executing. An existing file that
// cannot be opened is reported to the debugger; a missing one is skipped silently.
bool CheckClientDll(std::wstring& path) noexcept;

// The minimum version rule, then CheckClientDll. `path` is the runtime folder on entry and the client
// library's path on return.
bool AcceptRuntimeCandidate(const RuntimeVersion& version, std::wstring& path) noexcept;
