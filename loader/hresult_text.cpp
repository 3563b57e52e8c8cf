#include "loader/hresult_text.h"

#include <cstdint>

HResultHexText FormatHResultHex(HRESULT hr) noexcept {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    const auto value = static_cast<uint32_t>(hr);
    HResultHexText text{};
    for (int i = 0; i < 8; ++i) {
        const int shift = 28 - 4 * i;
        text[i] = kDigits[(value >> shift) & 0xF];
    }
    text[8] = L'\0';
    return text;
}
