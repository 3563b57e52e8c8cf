// Comparing the names that are read without regard to case: file names and extensions, device names,
// URL schemes and hosts, HTTP range units.
#pragma once

#include <cwctype>
#include <string_view>

inline bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) {
            return false;
        }
    }
    return true;
}
