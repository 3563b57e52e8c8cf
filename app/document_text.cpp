#include "app/document_text.h"

#include "app/document_decoding.h"
#include "app/test_seams.h"
#include "platform/long_path.h"
#include "platform/unique_handle.h"
#include "platform/utf8.h"

#include <windows.h>

#include <string>

namespace {

// Reads from the current position to the end of the file. Returns ERROR_SUCCESS, the error of a failed
// read, or ERROR_FILE_TOO_LARGE when the file turns out too large to decode, so that a half-read
// document is never taken for a whole one.
DWORD ReadToEnd(HANDLE file, size_t sizeHint, std::string& bytes) {
    constexpr size_t kGrowth = size_t{1} << 20;
    bytes.clear();
    // One spare byte lets the final, empty read confirm the end without growing the buffer.
    bytes.reserve(sizeHint + 1);
    for (;;) {
        const size_t offset = bytes.size();
        size_t room = bytes.capacity() - offset;
        if (room == 0) {
            room = kGrowth; // the file grew since its size was taken
        }
        const DWORD want = static_cast<DWORD>(room < kGrowth ? room : kGrowth);
        bytes.resize(offset + want);
        DWORD got = 0;
        const BOOL ok = ::ReadFile(file, bytes.data() + offset, want, &got, nullptr);
        bytes.resize(offset + got);
        if (!ok) {
            return ::GetLastError();
        }
        if (bytes.size() > kMaxDecodableBytes) {
            return ERROR_FILE_TOO_LARGE;
        }
        if (got == 0) {
            return ERROR_SUCCESS;
        }
    }
}

// Why a file could not be opened: gone (or never a file) for good, or held by someone for now. A
// file being deleted, or replaced by an editor's rename, refuses access for a moment.
ReadOutcome OpenFailure(DWORD error, const std::wstring& path) noexcept {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return ReadOutcome::Absent;
    case ERROR_ACCESS_DENIED: {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return folder ? ReadOutcome::Absent : ReadOutcome::Busy;
    }
    default:
        return ReadOutcome::Busy;
    }
}

// The end-to-end tests stand in for a slow disk or a share whose server has gone with
// TALLOWMERE_TEST_READ_DELAY_MS, which holds every read of a document so many milliseconds.
void WaitAsASlowDiskWould() noexcept {
    const DWORD delay = TestSeamMilliseconds(L"TALLOWMERE_TEST_READ_DELAY_MS", 0);
    if (delay > 0) {
        ::Sleep(delay);
    }
}

DocumentRead Read(const std::wstring& path) {
    DocumentRead read;
    const std::wstring target = ExtendedLengthPath(path);
    UniqueFile file(::CreateFileW(target.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        read.outcome = OpenFailure(::GetLastError(), target);
        return read;
    }
    WaitAsASlowDiskWould();
    const FileStamp before = StampOfHandle(file.get());
    read.stamp = before;
    if (!before.exists || before.size > kMaxDecodableBytes) {
        return read;
    }
    const DWORD error = ReadToEnd(file.get(), static_cast<size_t>(before.size), read.bytes);
    if (error != ERROR_SUCCESS) {
        read.bytes.clear();
        read.outcome = error == ERROR_FILE_TOO_LARGE ? ReadOutcome::Absent : ReadOutcome::Busy;
        return read;
    }
    // A writer that truncated or extended the file, or wrote into it, while it was read leaves a
    // different stamp behind: what was read may be cut.
    read.stamp = StampOfHandle(file.get());
    read.outcome =
        read.stamp == before && read.bytes.size() == before.size ? ReadOutcome::Complete : ReadOutcome::Busy;
    return read;
}

} // namespace

DocumentRead ReadDocumentBytes(const std::wstring& path) noexcept {
    try {
        return Read(path);
    } catch (...) {
        // Out of memory for the path or the bytes: perhaps not next time.
        DocumentRead read;
        read.outcome = ReadOutcome::Busy;
        return read;
    }
}

std::wstring ReadDocumentText(const std::wstring& path) {
    const DocumentRead read = ReadDocumentBytes(path);
    return DecodeDocument(read.bytes).text;
}
