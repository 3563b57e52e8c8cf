// The loader's narrow seam over the platform entry points that Wine lacks or that tests must control:
// debugger output, the app-package queries, the application user model ID look-ups and the opening of
// policy keys. Production fills it once per process with the real functions (optional ones looked up
// by name, null when the system does not export them); a test installs its own table for a scope.
#pragma once

#include "loader/package_api.h"

#include <windows.h>

struct LoaderPlatform {
    // Never null.
    void(WINAPI* outputDebugStringA)(LPCSTR text) = nullptr;
    void(WINAPI* outputDebugStringW)(LPCWSTR text) = nullptr;
    // Never null. Only policy keys are opened through here: which of them a creation looks at is
    // behaviour of its own (no policy root, no policy key), and tests must be able to see it.
    LSTATUS(WINAPI* regOpenKeyExW)
    (HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) = nullptr;

    // Optional: null when the system lacks them (kernelbase.dll).
    TryCreatePackageDependencyFn tryCreatePackageDependency = nullptr;
    AddPackageDependencyFn addPackageDependency = nullptr;
    GetCurrentPackageInfoFn getCurrentPackageInfo = nullptr;
    // Optional: kernel32.dll and shell32.dll.
    GetCurrentApplicationUserModelIdFn getCurrentApplicationUserModelId = nullptr;
    GetCurrentProcessExplicitAppUserModelIdFn getCurrentProcessExplicitAppUserModelId = nullptr;
};

// The table in force: a test's override when one is installed, else the real one, resolved on first
// use (a thread-safe one-time initialisation) and kept for the life of the process.
const LoaderPlatform& GetLoaderPlatform() noexcept;

// The real table, for tests that replace only a few entries.
const LoaderPlatform& RealLoaderPlatform() noexcept;

// Debugger output through the seam: one call per piece of text.
void WriteDebuggerTextA(LPCSTR text) noexcept;
void WriteDebuggerTextW(LPCWSTR text) noexcept;

// Installs a copy of `platform` for the lifetime of this object and restores the previous table
// afterwards. Meant for tests; not for concurrent use with a creation running on another thread.
class ScopedLoaderPlatformOverride {
public:
    explicit ScopedLoaderPlatformOverride(const LoaderPlatform& platform) noexcept;
    ~ScopedLoaderPlatformOverride();
    ScopedLoaderPlatformOverride(const ScopedLoaderPlatformOverride&) = delete;
    ScopedLoaderPlatformOverride& operator=(const ScopedLoaderPlatformOverride&) = delete;

private:
    LoaderPlatform platform_;
    const LoaderPlatform* previous_;
};
