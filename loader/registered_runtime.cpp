#include "loader/registered_runtime.h"

#include "loader/registry_string.h"
#include "loader/runtime_candidate.h"
#include "platform/unique_handle.h"

#include <new>

namespace {

// The updater registers its runtimes in the 32-bit view on every system.
constexpr REGSAM kRegistrationAccess = KEY_READ | KEY_WOW64_32KEY;

bool ReadRuntimeFolder(HKEY key, bool useLocationValues, std::wstring& folder) noexcept {
    if (!useLocationValues) {
        return QueryRegistryText(key, L"EBWebView", folder);
    }
    std::wstring location;
    std::wstring version;
    if (!QueryRegistryText(key, L"location", location) || !QueryRegistryText(key, L"pv", version)) {
        return false;
    }
    try {
        folder = location + L'\\' + version;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace

bool ReadRegisteredRuntime(PCWSTR subKey, bool useLocationValues, HKEY hive, std::wstring& dllPath) noexcept {
    std::wstring folder;
    {
        UniqueRegKey key;
        if (::RegOpenKeyExW(hive, subKey, 0, kRegistrationAccess, key.put()) != ERROR_SUCCESS) {
            return false;
        }
        if (!ReadRuntimeFolder(key.get(), useLocationValues, folder)) {
            return false;
        }
    }
    const size_t lastSeparator = folder.rfind(L'\\');
    if (lastSeparator == std::wstring::npos) {
        return false;
    }
    RuntimeVersion version;
    if (!ParseRuntimeVersion(std::wstring_view(folder).substr(lastSeparator + 1), version)) {
        return false;
    }
    try {
        dllPath = folder;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return AcceptRuntimeCandidate(version, dllPath);
}
