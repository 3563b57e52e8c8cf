#include "webhost/document_file.h"

#include "webhost/document_url.h"

#include <optional>

namespace {

UniqueFile OpenPlainFile(const std::wstring& path, uint64_t& size) {
    UniqueFile file(::CreateFileW(ExtendedLengthForm(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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

} // namespace

DocumentFile OpenDocumentFile(std::wstring_view uri, std::wstring_view documentPath) {
    DocumentFile file;
    const std::optional<std::wstring> path = DocumentFileForUrl(uri, documentPath);
    if (!path) {
        return file;
    }
    file.handle = OpenPlainFile(*path, file.size);
    if (file.handle) {
        file.path = *path;
    }
    return file;
}
