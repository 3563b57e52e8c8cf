// What a cheap look at a file tells without reading it: whether it is there, its size and the time of
// its last write. A different stamp means the file changed; an equal one proves nothing about its bytes
// (a time stamp can be coarse, or set back).
#pragma once

#include <windows.h>

#include <string>

struct FileStamp {
    bool exists = false; // a file (not a folder) is there
    ULONGLONG size = 0;
    ULONGLONG lastWrite = 0;

    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path` (use the extended-length form); a folder or nothing gives the
// stamp of a missing file.
FileStamp StampOfPath(const std::wstring& path) noexcept;

// The stamp of an open file, as the file system has it at this moment.
FileStamp StampOfHandle(HANDLE file) noexcept;
