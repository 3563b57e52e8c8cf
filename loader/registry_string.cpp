#include "loader/registry_string.h"

#include <new>

bool TakeRegistryText(const wchar_t* buffer, DWORD byteCount, std::wstring& text) noexcept {
    size_t units = byteCount / sizeof(wchar_t);
    if (units > kRegistryTextCapacity) {
        units = kRegistryTextCapacity;
    }
    size_t length = 0;
    while (length < units && buffer[length] != L'\0') {
        ++length;
    }
    if (length >= kRegistryTextCapacity) {
        return false;
    }
    try {
        text.assign(buffer, length);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool QueryRegistryText(HKEY key, PCWSTR valueName, std::wstring& text) noexcept {
    text.clear();
    wchar_t buffer[kRegistryTextCapacity] = {};
    DWORD byteCount = sizeof(buffer);
    const LSTATUS status =
        ::RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &byteCount);
    if (status != ERROR_SUCCESS || byteCount <= 2) {
        return false;
    }
    return TakeRegistryText(buffer, byteCount, text);
}

bool GetRegistryStringValue(HKEY key, PCWSTR valueName, std::wstring& text) noexcept {
    text.clear();
    wchar_t buffer[kRegistryTextCapacity] = {};
    DWORD byteCount = sizeof(buffer);
    const LSTATUS status =
        ::RegGetValueW(key, nullptr, valueName, RRF_RT_REG_SZ, nullptr, buffer, &byteCount);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    return TakeRegistryText(buffer, byteCount, text);
}

bool GetRegistryDwordValue(HKEY key, PCWSTR valueName, DWORD& value) noexcept {
    DWORD data = 0;
    DWORD byteCount = sizeof(data);
    const LSTATUS status =
        ::RegGetValueW(key, nullptr, valueName, RRF_RT_REG_DWORD, nullptr, &data, &byteCount);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    value = data;
    return true;
}
