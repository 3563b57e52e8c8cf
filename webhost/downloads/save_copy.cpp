#include "webhost/downloads/save_copy.h"

#include "platform/unique_handle.h"
#include "webhost/serving/document_file.h"
#include "webhost/serving/document_url.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr DWORD kCopyChunkBytes = 1u << 20;
// A Zone.Identifier is a few lines of text; a larger stream is no mark of a download.
constexpr DWORD kMaxZoneBytes = 64u << 10;
constexpr wchar_t kZoneStream[] = L":Zone.Identifier";
constexpr wchar_t kTemporarySuffix[] = L".partial";
// Names tried for the temporary file before giving up (another copy may be using one).
constexpr unsigned kTemporaryNameAttempts = 16;

HRESULT LastErrorResult() noexcept {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

bool KeepsNamedStreams(HANDLE file) noexcept {
    DWORD flags = 0;
    return ::GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_NAMED_STREAMS) != 0;
}

bool MarkForDeletion(HANDLE file, bool deleted) noexcept {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) !=
           FALSE;
}

// Renames the open file to `target` (a full path), over an existing file only when `replace`.
bool RenameOpenFile(HANDLE file, const std::wstring& target, bool replace) {
    const std::wstring name = ExtendedLengthForm(target);
    const size_t bytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + bytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(bytes);
    std::copy(name.begin(), name.end(), rename->FileName);
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) !=
           FALSE;
}

// A new, empty temporary file beside `destination`, open for writing, renaming and deleting.
UniqueFile CreateTemporaryBeside(const std::wstring& destination, std::wstring& path) {
    const unsigned seed = static_cast<unsigned>(::GetTickCount64()) ^ (::GetCurrentThreadId() << 16);
    for (unsigned attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        wchar_t number[16] = {};
        std::swprintf(number, std::size(number), L".%08x", seed + attempt * 0x9E3779B9u);
        path = destination + number + kTemporarySuffix;
        UniqueFile file(::CreateFileW(ExtendedLengthForm(path).c_str(), GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || ::GetLastError() != ERROR_FILE_EXISTS) {
            return file;
        }
    }
    return {};
}

// The mark goes on before the file is marked for deletion, which would refuse the stream's opening.
void WriteZoneIdentifier(HANDLE temporary, const std::wstring& temporaryPath, const std::string& zone) {
    if (zone.empty() || !KeepsNamedStreams(temporary)) {
        return;
    }
    const UniqueFile stream(::CreateFileW(ExtendedLengthForm(temporaryPath + kZoneStream).c_str(),
                                          GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                          nullptr));
    DWORD written = 0;
    if (stream) {
        ::WriteFile(stream.get(), zone.data(), static_cast<DWORD>(zone.size()), &written, nullptr);
    }
}

HRESULT CopyBytes(HANDLE from, HANDLE to, const std::atomic<bool>& cancelled) noexcept {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) {
        return LastErrorResult();
    }
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyChunkBytes]);
    if (!buffer) {
        return E_OUTOFMEMORY;
    }
    for (;;) {
        if (cancelled.load()) {
            return HRESULT_FROM_WIN32(ERROR_CANCELLED);
        }
        DWORD got = 0;
        if (!::ReadFile(from, buffer.get(), kCopyChunkBytes, &got, nullptr)) {
            return cancelled.load() ? HRESULT_FROM_WIN32(ERROR_CANCELLED) : LastErrorResult();
        }
        if (got == 0) {
            return S_OK;
        }
        DWORD written = 0;
        if (!::WriteFile(to, buffer.get(), got, &written, nullptr) || written != got) {
            return cancelled.load() ? HRESULT_FROM_WIN32(ERROR_CANCELLED) : LastErrorResult();
        }
    }
}

} // namespace

std::string ZoneIdentifierOf(HANDLE file) {
    if (!KeepsNamedStreams(file)) {
        return {};
    }
    // The stream of the file the handle has open, wherever links led to it.
    const std::wstring path = FinalPathOf(file);
    if (path.empty()) {
        return {};
    }
    const UniqueFile stream(::CreateFileW((path + kZoneStream).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!stream || !::GetFileSizeEx(stream.get(), &size) || size.QuadPart <= 0 ||
        size.QuadPart > kMaxZoneBytes) {
        return {};
    }
    std::string zone(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!::ReadFile(stream.get(), zone.data(), static_cast<DWORD>(zone.size()), &got, nullptr)) {
        return {};
    }
    zone.resize(got);
    return zone;
}

HRESULT SaveCopy(HANDLE source, const std::wstring& destination, bool mayReplace,
                 const std::atomic<bool>& cancelled) noexcept {
    try {
        const std::string zone = ZoneIdentifierOf(source);
        std::wstring temporaryPath;
        UniqueFile temporary = CreateTemporaryBeside(destination, temporaryPath);
        if (!temporary) {
            return LastErrorResult();
        }
        WriteZoneIdentifier(temporary.get(), temporaryPath, zone);
        if (!MarkForDeletion(temporary.get(), true)) {
            const HRESULT failed = LastErrorResult();
            // Without the mark, the file would outlive a failure: it goes now.
            ::DeleteFileW(ExtendedLengthForm(temporaryPath).c_str());
            return failed;
        }
        const HRESULT copied = CopyBytes(source, temporary.get(), cancelled);
        if (FAILED(copied)) {
            return copied; // the handle closes and the system removes the file
        }
        if (cancelled.load()) {
            return HRESULT_FROM_WIN32(ERROR_CANCELLED);
        }
        if (!MarkForDeletion(temporary.get(), false)) {
            return LastErrorResult(); // still marked: removed as the handle closes
        }
        if (!RenameOpenFile(temporary.get(), destination, mayReplace)) {
            const HRESULT failed = LastErrorResult();
            if (!MarkForDeletion(temporary.get(), true)) {
                temporary.reset();
                ::DeleteFileW(ExtendedLengthForm(temporaryPath).c_str());
            }
            return failed;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
