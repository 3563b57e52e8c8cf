// The value of one hexadecimal digit, as both a URL's percent escapes and JSON's \u escapes spell
// their numbers.
#pragma once

// 0 to 15, or -1 for anything that is not a hexadecimal digit.
inline int HexDigitValue(wchar_t c) noexcept {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}
