#include "webhost/serving/document_root.h"

#include "webhost/serving/document_url.h"

#include <windows.h>

namespace {

constexpr std::wstring_view kRepositoryEntry = L".git";

bool HasRepositoryEntry(std::wstring_view folder) {
    std::wstring entry(folder);
    if (entry.back() != L'\\') {
        entry.push_back(L'\\');
    }
    entry.append(kRepositoryEntry);
    return ::GetFileAttributesW(ExtendedLengthForm(entry).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder that holds what `path` names: without its last component, keeping a root's backslash.
std::wstring_view ParentFolder(std::wstring_view path, size_t rootLength) noexcept {
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring_view::npos || slash + 1 <= rootLength) {
        return path.substr(0, rootLength);
    }
    return path.substr(0, slash);
}

} // namespace

std::wstring DocumentRootFolder(std::wstring_view documentPath) {
    const size_t rootLength = PathRootLength(documentPath);
    if (rootLength == 0 || documentPath.size() <= rootLength) {
        return {};
    }
    const std::wstring_view own = ParentFolder(documentPath, rootLength);
    for (std::wstring_view folder = own;; folder = ParentFolder(folder, rootLength)) {
        if (HasRepositoryEntry(folder)) {
            return std::wstring(folder);
        }
        if (folder.size() <= rootLength) {
            return std::wstring(own);
        }
    }
}

bool IsInsideFolder(std::wstring_view path, std::wstring_view folder) noexcept {
    if (folder.empty() || path.size() <= folder.size()) {
        return false;
    }
    const bool boundary = folder.back() == L'\\' || path[folder.size()] == L'\\';
    return boundary && ::CompareStringOrdinal(path.data(), static_cast<int>(folder.size()), folder.data(),
                                              static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}
