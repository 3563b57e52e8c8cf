#include "url_handler_registration.h"

#include "platform/unique_handle.h"

#include <windows.h>

namespace {

// Wine's shell reads a scheme's open command from the machine's classes only (not the user's).
const wchar_t* const kCommandKeys[] = {
    L"Software\\Classes\\http\\shell\\open\\command",
    L"Software\\Classes\\https\\shell\\open\\command",
    L"Software\\Classes\\mailto\\shell\\open\\command",
};
// What a fresh Wine prefix has there.
constexpr wchar_t kWineBrowserCommand[] = L"\"C:\\windows\\system32\\winebrowser.exe\" \"%1\"";

std::optional<std::wstring> ReadCommand(const wchar_t* path) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t value[2048] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(value);
}

bool WriteCommand(const wchar_t* path, const std::wstring& command) {
    UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            bytes) == ERROR_SUCCESS;
}

} // namespace

UrlHandlerRegistration::UrlHandlerRegistration(const std::wstring& recorderPath) {
    const std::wstring command = L"\"" + recorderPath + L"\" \"%1\"";
    registered_ = true;
    for (const wchar_t* path : kCommandKeys) {
        previous_.push_back({path, ReadCommand(path)});
        registered_ = WriteCommand(path, command) && registered_;
    }
}

UrlHandlerRegistration::~UrlHandlerRegistration() {
    for (const Previous& previous : previous_) {
        if (previous.command) {
            WriteCommand(previous.key.c_str(), *previous.command);
        } else {
            ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, previous.key.c_str(), nullptr);
        }
    }
}

void UrlHandlerRegistration::RemoveLeftover(const std::wstring& recorderPath) {
    for (const wchar_t* path : kCommandKeys) {
        const std::optional<std::wstring> command = ReadCommand(path);
        if (command && command->find(recorderPath) != std::wstring::npos) {
            WriteCommand(path, kWineBrowserCommand);
        }
    }
}
