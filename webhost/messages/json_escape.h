// The one escaping rule of every host-to-page message: text made safe for the inside of a JSON string.
#pragma once

#include <string>
#include <string_view>

// Appends `text` to `out`, escaped for use between the double quotes of a JSON string. Tab, line feed,
// carriage return, double quote and backslash get their short escapes; every other code unit below
// U+0020 becomes \u00XX. Everything else (the slash, non-ASCII text, U+2028/U+2029, U+FEFF and
// surrogates, paired or not) passes through unchanged.
void AppendJsonEscaped(std::wstring& out, std::wstring_view text);

// The length of `text` once escaped, in code units.
size_t JsonEscapedLength(std::wstring_view text) noexcept;

// The escaped text alone, without enclosing quotes.
std::wstring EscapeJsonString(std::wstring_view text);
