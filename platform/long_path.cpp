#include "platform/long_path.h"

#include "platform/unique_handle.h"

#include <windows.h>

#include <string_view>

namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
constexpr std::wstring_view kNtPrefix = L"\\??\\";
constexpr std::wstring_view kUncPrefix = L"\\\\";
constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";

bool StartsWith(std::wstring_view text, std::wstring_view prefix) noexcept {
    return text.substr(0, prefix.size()) == prefix;
}

bool NamesANamespace(std::wstring_view path) noexcept {
    return StartsWith(path, kExtendedPrefix) || StartsWith(path, kDevicePrefix) ||
           StartsWith(path, kNtPrefix);
}

} // namespace

std::wstring FullPath(const std::wstring& path) {
    if (path.empty()) {
        return {};
    }
    // The length asked for first: the result may be far longer than MAX_PATH.
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return {};
    }
    std::wstring full(needed, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) {
        return {};
    }
    full.resize(written);
    return full;
}

std::wstring ExtendedLengthPath(const std::wstring& path) {
    if (NamesANamespace(path)) {
        return path;
    }
    const std::wstring full = FullPath(path);
    if (full.empty() || NamesANamespace(full)) {
        return full.empty() ? path : full;
    }
    if (StartsWith(full, kUncPrefix)) {
        std::wstring extended(kExtendedUncPrefix);
        extended.append(full, kUncPrefix.size());
        return extended;
    }
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        std::wstring extended(kExtendedPrefix);
        extended.append(full);
        return extended;
    }
    return full;
}

std::wstring FinalPath(const std::wstring& path) {
    // No access to the content, and every kind of sharing: the open stands in nobody's way.
    const UniqueFile file(::CreateFileW(ExtendedLengthPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return {};
    }
    std::wstring resolved(MAX_PATH, L'\0');
    for (;;) {
        const DWORD needed = ::GetFinalPathNameByHandleW(
            file.get(), resolved.data(), static_cast<DWORD>(resolved.size()), VOLUME_NAME_DOS);
        if (needed == 0) {
            return {};
        }
        if (needed < resolved.size()) {
            resolved.resize(needed);
            return resolved;
        }
        resolved.resize(needed); // too small: the length asked for, terminator included
    }
}
