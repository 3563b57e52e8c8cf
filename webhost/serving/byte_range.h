// Which bytes of a file answer a request's Range header.
#pragma once

#include <cstdint>
#include <string_view>

enum class RangeAnswer {
    Whole,         // no usable Range header: the whole file, status 200
    Partial,       // status 206 with `first` and `length`
    Unsatisfiable, // status 416: the range starts at or beyond the end
};

struct ByteRangeChoice {
    RangeAnswer answer = RangeAnswer::Whole;
    uint64_t first = 0;
    uint64_t length = 0;
};

// One "bytes=first-last", "bytes=first-" or "bytes=-suffix" range is honoured, its end clamped to the
// file and its length to `maxLength` (Content-Range tells the reader what came; a media element asks
// again for what follows). Anything else (no header, another unit, several ranges, a malformed or
// reversed range) is answered whole, as HTTP allows, but only up to `maxWhole` bytes: a larger file
// is answered with its first `maxLength` bytes as a part.
ByteRangeChoice ChooseByteRange(std::wstring_view rangeHeader, uint64_t fileSize, uint64_t maxLength,
                                uint64_t maxWhole) noexcept;
