// The seams a test build of the program holds for its end-to-end tests: a number of milliseconds read
// from an environment variable, standing in for a slow disk or a long time limit. Other builds read
// nothing and always get the fallback.
#pragma once

#include <windows.h>

#include <cwchar>

inline DWORD TestSeamMilliseconds([[maybe_unused]] const wchar_t* variable, DWORD fallback) noexcept {
#if defined(TALLOWMERE_TEST_SEAMS)
    wchar_t value[16] = {};
    const DWORD length = ::GetEnvironmentVariableW(variable, value, 16);
    if (length > 0 && length < 16) {
        return static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
    }
#endif
    return fallback;
}
