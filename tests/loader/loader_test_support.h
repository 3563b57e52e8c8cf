// Real registry keys, environment variables and runtime folders for the loader's tests, each removed
// again by its guard, and a platform table that captures debugger output and stands in for the
// app-package and user-model-ID functions that Wine lacks.
#pragma once

#include "loader/platform_seam.h"

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// The registry view in which runtimes are registered.
inline constexpr REGSAM kRegistrationView = KEY_WOW64_32KEY;

// Creates `hive`\`path` in `view` and deletes it, with everything below it, on destruction.
class RegistryKeyGuard {
public:
    RegistryKeyGuard(HKEY hive, std::wstring path, REGSAM view = 0);
    ~RegistryKeyGuard();
    RegistryKeyGuard(const RegistryKeyGuard&) = delete;
    RegistryKeyGuard& operator=(const RegistryKeyGuard&) = delete;

    // `withTerminator` false stores the characters only, as some writers do.
    void SetString(PCWSTR name, std::wstring_view value, bool withTerminator = true) const;
    void SetDword(PCWSTR name, DWORD value) const;
    void SetSubKeyString(PCWSTR subKey, PCWSTR name, std::wstring_view value) const;
    void SetSubKeyDword(PCWSTR subKey, PCWSTR name, DWORD value) const;

private:
    HKEY hive_;
    std::wstring path_;
    REGSAM view_;
};

// Deletes `hive`\`path` and everything below it, when present.
void DeleteRegistryTree(HKEY hive, const std::wstring& path, REGSAM view = 0);

// Sets (or, with nullopt, removes) one environment variable and restores its earlier state.
class EnvironmentVariableGuard {
public:
    EnvironmentVariableGuard(std::wstring name, std::optional<std::wstring> value);
    ~EnvironmentVariableGuard();
    EnvironmentVariableGuard(const EnvironmentVariableGuard&) = delete;
    EnvironmentVariableGuard& operator=(const EnvironmentVariableGuard&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> previous_;
};

// A fresh folder below the temporary folder, removed with its contents on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const noexcept { return path_; }
    // Creates `relative` (below this folder) holding EBWebView\x64\EmbeddedBrowserWebView.dll and
    // returns the runtime folder's full path.
    std::wstring AddRuntime(const std::wstring& relative) const;
    // The same layout, but with a folder where the client library should be: it exists, yet cannot be
    // opened as a file.
    std::wstring AddUnopenableRuntime(const std::wstring& relative) const;

private:
    std::wstring path_;
};

std::wstring ClientDllPath(const std::wstring& runtimeFolder);

// One piece of debugger output: 'A' for OutputDebugStringA, 'W' for OutputDebugStringW.
struct DebugPiece {
    char kind;
    std::wstring text;
    bool operator==(const DebugPiece&) const = default;
};
void PrintTo(const DebugPiece& piece, std::ostream* out);
std::vector<DebugPiece> Pieces(std::initializer_list<std::pair<char, std::wstring>> pieces);

struct FakePackage {
    std::wstring familyName;
    std::wstring path;
    PackageVersionParts version;
};

// Installs a platform table for its lifetime: debugger output and policy-key opens are recorded,
// the package and user-model-ID functions are absent until a test configures them.
class CapturingPlatform {
public:
    CapturingPlatform();
    ~CapturingPlatform();
    CapturingPlatform(const CapturingPlatform&) = delete;
    CapturingPlatform& operator=(const CapturingPlatform&) = delete;

    std::vector<DebugPiece> output;
    std::vector<std::wstring> openedPolicyKeys; // "HKCU\..." / "HKLM\...", in order

    // Packages: the functions appear once this is called.
    void ProvidePackageFunctions();
    std::vector<FakePackage> packages;
    std::vector<std::wstring> dependencyRequests; // family names passed to TryCreatePackageDependency
    std::vector<std::wstring> dependenciesAdded;  // ids passed to AddPackageDependency
    HRESULT tryCreateResult = S_OK;

    // Application user model ID: from kernel32's function (std::nullopt: no application) and from
    // shell32's (std::nullopt: E_NOTIMPL, as Wine answers).
    void ProvideAppUserModelIdFunctions(std::optional<std::wstring> applicationId,
                                        std::optional<std::wstring> explicitId);
    std::optional<std::wstring> applicationId;
    std::optional<std::wstring> explicitId;

    // Everything written to the debugger, joined.
    std::wstring Text() const;

private:
    void Install();
    LoaderPlatform table_;
    std::optional<ScopedLoaderPlatformOverride> override_;
};

// The test program's own file name, which names its policy values.
std::wstring ExecutableFileName();
