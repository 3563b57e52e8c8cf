// Reading a document: the file's bytes, whole and unchanged, and their text (see document_decoding.h).
#pragma once

#include "app/file_stamp.h"

#include <string>

enum class ReadOutcome {
    Complete, // every byte, and the file did not change during the read
    Absent,   // nothing to read and nothing to wait for: no such file, a folder, 2 GiB or more
    Busy,     // locked against reading, or changed while being read: worth another try
};

struct DocumentRead {
    ReadOutcome outcome = ReadOutcome::Absent;
    // Complete: the file's bytes. Busy because the file changed while being read: what was read, which
    // may be cut. Otherwise empty.
    std::string bytes;
    // The file as the read left it (the stamp of a missing file when it could not be opened).
    FileStamp stamp;
};

// Reads the whole file; the path may be relative (to the current directory) and of any length. The read
// denies other programs nothing (reading, writing, deleting, renaming), so that it never makes an
// editor's save fail; nor does it ask whether a writer holds the file open, which no open can tell
// without denying that writer. Never throws: without memory for the bytes the read counts as Busy.
DocumentRead ReadDocumentBytes(const std::wstring& path) noexcept;

// The file's text, decoded as DecodeDocument finds it encoded. Never fails: a file that cannot be opened,
// an empty file and a file of 2 GiB or more (which the platform decoder cannot take in one piece) all
// yield the empty string. Other programs may keep the
// file open for reading or writing meanwhile.
std::wstring ReadDocumentText(const std::wstring& path);
