// The hexadecimal form of an HRESULT used in the loader's debugger messages.
#pragma once

#include <windows.h>

#include <array>

// Eight upper-case hexadecimal digits, most significant first, then a terminating NUL.
using HResultHexText = std::array<wchar_t, 9>;

// 0x8007007E gives "8007007E"; no prefix, no trimming of leading zeros.
HResultHexText FormatHResultHex(HRESULT hr) noexcept;
