#include "webhost/serving/document_file.h"

#include "webhost/serving/document_root.h"
#include "webhost/serving/document_url.h"
#include "webhost/serving/reparse_points.h"

#include <optional>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A regular file on a disk, opened for reading; nothing for folders, devices, pipes and the missing.
UniqueFile OpenPlainFile(const std::wstring& path, uint64_t& size) {
    UniqueFile file(::CreateFileW(ExtendedLengthForm(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK) {
        return {};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    LARGE_INTEGER length{};
    if (!::GetFileInformationByHandle(file.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        !::GetFileSizeEx(file.get(), &length) || length.QuadPart < 0) {
        return {};
    }
    size = static_cast<uint64_t>(length.QuadPart);
    return file;
}

std::wstring FinalFolderPath(const std::wstring& folder) {
    // Attributes only: a folder must be opened with backup semantics, which reading never needs.
    const UniqueFile handle(::CreateFileW(ExtendedLengthForm(folder).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle ? FinalPathOf(handle.get()) : std::wstring();
}

} // namespace

std::wstring FinalPathOf(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length); // the size asked for, terminator included
    }
    return {};
}

HRESULT OpenDocumentFile(std::wstring_view uri, const ServedDocument& document,
                         DocumentFile& opened) noexcept {
    try {
        opened = DocumentFile{};
        if (document.path.empty() || DocumentUrlGeneration(uri) != document.generation) {
            return S_FALSE; // none shown, or an address of a document shown before
        }
        std::optional<std::wstring> path = DocumentFileForUrl(uri, document.path);
        const std::wstring root = DocumentRootFolder(document.path);
        if (!path || !IsInsideFolder(*path, root)) {
            return S_FALSE;
        }
        // Links and junctions on the way are looked at before anything follows them: none that leads
        // off the root's volume (to a share, say) is ever followed.
        const std::wstring finalRoot = FinalFolderPath(root);
        const std::optional<std::wstring> resolved = PathWithLinksResolved(root, *path, finalRoot);
        if (!resolved) {
            return S_FALSE;
        }
        uint64_t size = 0;
        UniqueFile file = OpenPlainFile(*resolved, size);
        if (!file) {
            return S_FALSE;
        }
        // Where the file really is: a link on the way may lead anywhere on the volume.
        if (!IsInsideFolder(FinalPathOf(file.get()), finalRoot)) {
            return S_FALSE;
        }
        opened.file = std::move(file);
        opened.path = std::move(*path);
        opened.size = size;
        return S_OK;
    } catch (...) {
        opened = DocumentFile{};
        return E_OUTOFMEMORY;
    }
}
