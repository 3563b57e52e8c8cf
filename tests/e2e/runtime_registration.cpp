#include "runtime_registration.h"

#include "platform/unique_handle.h"

#include <windows.h>

namespace {

constexpr wchar_t kValueName[] = L"EBWebView";
constexpr REGSAM kView = KEY_WOW64_32KEY;
const wchar_t* const kKeyChain[] = {
    L"Software\\Microsoft\\EdgeUpdate",
    L"Software\\Microsoft\\EdgeUpdate\\ClientState",
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}",
};
const wchar_t* const kStableKey = kKeyChain[2];

bool KeyExists(const wchar_t* path) {
    UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | kView, key.put()) == ERROR_SUCCESS;
}

} // namespace

RuntimeRegistration::RuntimeRegistration(const std::wstring& runtimeFolder) {
    for (const wchar_t* path : kKeyChain) {
        if (!KeyExists(path)) {
            createdKeys_.emplace_back(path);
        }
    }
    UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kStableKey, 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD bytes = static_cast<DWORD>((runtimeFolder.size() + 1) * sizeof(wchar_t));
    registered_ =
        ::RegSetValueExW(key.get(), kValueName, 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(runtimeFolder.c_str()), bytes) == ERROR_SUCCESS;
}

RuntimeRegistration::~RuntimeRegistration() {
    {
        // Through a key opened in the 32-bit view: RegDeleteKeyValueW has no view flag.
        UniqueRegKey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStableKey, 0, KEY_SET_VALUE | kView, key.put()) ==
            ERROR_SUCCESS) {
            ::RegDeleteValueW(key.get(), kValueName);
        }
    }
    for (auto it = createdKeys_.rbegin(); it != createdKeys_.rend(); ++it) {
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, it->c_str(), kView, 0);
    }
}

void RuntimeRegistration::RemoveLeftover(const std::wstring& folderPrefix) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStableKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | kView,
                        key.put()) != ERROR_SUCCESS) {
        return;
    }
    wchar_t value[1024] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), kValueName, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes) ==
            ERROR_SUCCESS &&
        std::wstring(value).rfind(folderPrefix, 0) == 0) {
        ::RegDeleteValueW(key.get(), kValueName);
    }
}
