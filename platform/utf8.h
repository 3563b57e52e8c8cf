// Lenient UTF-8 decoding with the platform decoder: malformed sequences become U+FFFD, a byte-order
// mark stays as U+FEFF, zero bytes stay as U+0000, nothing fails.
#pragma once

#include <cstddef>
#include <string>

// The decoder takes a signed 32-bit byte count, so this refuses (returns empty) input of 2 GiB or
// more rather than decoding a truncated or wrapped count.
inline constexpr size_t kMaxDecodableBytes = 0x7FFFFFFF;

std::wstring DecodeUtf8(const char* bytes, size_t count);
