#include "loader/runtime_version.h"

#include "loader/ascii.h"

#include <limits>

namespace {

uint32_t AppendDigitSaturating(uint32_t value, wchar_t digit) noexcept {
    constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
    const uint32_t d = static_cast<uint32_t>(digit - L'0');
    if (value > (kMax - d) / 10) {
        return kMax;
    }
    return value * 10 + d;
}

} // namespace

bool ParseRuntimeVersion(std::wstring_view text, RuntimeVersion& version) noexcept {
    RuntimeVersion parsed = {};
    size_t pos = 0;
    bool more = true;
    for (size_t i = 0; i < parsed.size(); ++i) {
        if (!more || pos >= text.size() || !IsAsciiDigit(text[pos])) {
            if (i == 0) {
                return false;
            }
            parsed[i] = 0;
            more = false;
            continue;
        }
        uint32_t value = 0;
        while (pos < text.size() && IsAsciiDigit(text[pos])) {
            value = AppendDigitSaturating(value, text[pos]);
            ++pos;
        }
        parsed[i] = value;
        if (pos < text.size()) {
            more = text[pos] == L'.';
            if (more) {
                ++pos;
            }
        } else {
            more = false;
        }
    }
    version = parsed;
    return true;
}

bool IsAtLeastMinimumRuntimeVersion(const RuntimeVersion& version) noexcept {
    for (size_t i = 0; i < version.size(); ++i) {
        if (version[i] != kMinimumRuntimeVersion[i]) {
            return version[i] > kMinimumRuntimeVersion[i];
        }
    }
    return true;
}
