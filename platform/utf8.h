// Lenient UTF-8 conversion with the platform's converters: malformed sequences and unpaired surrogates
// become U+FFFD, a byte-order mark stays as U+FEFF, zero bytes stay as U+0000, nothing fails.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The decoder takes a signed 32-bit byte count, so this refuses (returns empty) input of 2 GiB or
// more rather than decoding a truncated or wrapped count.
inline constexpr size_t kMaxDecodableBytes = 0x7FFFFFFF;

std::wstring DecodeUtf8(const char* bytes, size_t count);

// The encoder, too, gives a signed 32-bit byte count; a unit takes at most three bytes, so longer text
// is refused (returns empty).
inline constexpr size_t kMaxEncodableUnits = 0x7FFFFFFF / 3;

std::string EncodeUtf8(std::wstring_view text);
