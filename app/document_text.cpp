#include "app/document_text.h"

#include "app/long_path.h"
#include "platform/unique_handle.h"
#include "platform/utf8.h"

#include <windows.h>

#include <string>

namespace {

// Reads from the current position to the end of the file. Returns false when a read fails or the file
// turns out to be too large to decode, so that a half-read document is never shown as if whole.
bool ReadToEnd(HANDLE file, size_t sizeHint, std::string& bytes) {
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
            return false;
        }
        if (bytes.size() > kMaxDecodableBytes) {
            return false;
        }
        if (got == 0) {
            return true;
        }
    }
}

} // namespace

std::wstring ReadDocumentText(const std::wstring& path) {
    UniqueFile file(::CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        return {};
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kMaxDecodableBytes) {
        return {};
    }
    std::string bytes;
    if (!ReadToEnd(file.get(), static_cast<size_t>(size.QuadPart), bytes)) {
        return {};
    }
    return DecodeUtf8(bytes.data(), bytes.size());
}
