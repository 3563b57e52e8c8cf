#include "platform/long_path.h"

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
