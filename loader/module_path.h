// The full path of a loaded module, whatever its length.
#pragma once

#include <windows.h>

#include <string>

// The path of `module` (null: the executable). Empty on failure, which is then never reported as S_OK.
HRESULT GetModulePath(HMODULE module, std::wstring& path) noexcept;
