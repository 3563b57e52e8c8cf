// A response body read straight from a file: a read-only stream over one stretch of an open file.
// The runtime reads response bodies later, on a worker thread of its own, after rewinding them: this
// stream is free-threaded (an agile object that aggregates the free-threaded marshaler), seekable, and
// holds exactly the stretch, so a large video is answered without copying it into memory.
#pragma once

#include "platform/unique_handle.h"

#include <windows.h>
#include <objidl.h>

#include <cstdint>

// Makes a stream over bytes [offset, offset + length) of `file`, which it then owns. The stretch must
// lie within the file as it is now; if the file shrinks later, reads simply end early.
HRESULT CreateFileRangeStream(UniqueFile file, uint64_t offset, uint64_t length, IStream** stream) noexcept;
