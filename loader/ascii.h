// ASCII character tests for the texts the loader parses (versions, channel lists, numbers, folders):
// unlike the C library's, they do not depend on the locale and accept no other script's digits.
#pragma once

constexpr bool IsAsciiDigit(wchar_t c) noexcept {
    return c >= L'0' && c <= L'9';
}

constexpr bool IsAsciiLetter(wchar_t c) noexcept {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}
