// Base64 text of arbitrary bytes, as used for the support image's data: URI.
#pragma once

#include <cstddef>
#include <string>

// The standard alphabet (A-Z a-z 0-9 + /) with "=" padding, in one line: exactly 4 * ceil(count / 3)
// characters. Every byte is taken as an unsigned value, so bytes from 0x80 up encode like any other.
std::string Base64Encode(const unsigned char* bytes, size_t count);
