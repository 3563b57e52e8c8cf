#include "app/file_stamp.h"

namespace {

ULONGLONG Combine(DWORD high, DWORD low) noexcept {
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

} // namespace

FileStamp StampOfPath(const std::wstring& path) noexcept {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {};
    }
    return FileStamp{true, Combine(data.nFileSizeHigh, data.nFileSizeLow),
                     Combine(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)};
}

FileStamp StampOfHandle(HANDLE file) noexcept {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {};
    }
    return FileStamp{true, Combine(info.nFileSizeHigh, info.nFileSizeLow),
                     Combine(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)};
}
