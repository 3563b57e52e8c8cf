#include "webhost/serving/reparse_points.h"

#include "platform/long_path.h"
#include "platform/unique_handle.h"
#include "webhost/serving/document_url.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <memory>
#include <new>

namespace {

// The reparse data's layout and values as the platform documents them (the user-mode headers do not
// all declare them).
constexpr ULONG kSymbolicLinkTag = 0xA000000C;
constexpr ULONG kMountPointTag = 0xA0000003;
constexpr ULONG kNameSurrogateBit = 0x20000000;
constexpr ULONG kRelativeLinkFlag = 1;
constexpr size_t kHeaderBytes = 8;     // tag, data length, reserved
constexpr size_t kNameFieldsBytes = 8; // substitute and print names' offsets and lengths
constexpr size_t kLinkFlagsBytes = 4;  // a symbolic link's flags, after the name fields
constexpr DWORD kMaxReparseDataBytes = 16 * 1024;
// Windows itself follows at most 63 links on one path; a document's files need far fewer.
constexpr int kMaxLinksFollowed = 32;

constexpr std::wstring_view kNtPrefix = L"\\??\\";
constexpr std::wstring_view kNtUncPrefix = L"UNC\\";
constexpr std::wstring_view kVolumeByName = L"Volume{";
constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";

template <typename T> T ReadAt(const unsigned char* bytes, size_t offset) noexcept {
    T value{};
    std::memcpy(&value, bytes + offset, sizeof(T));
    return value;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) noexcept {
    return text.substr(0, prefix.size()) == prefix;
}

// A full path in the plain form: "\\?\C:\x" is "C:\x", "\\?\UNC\server\share" is "\\server\share".
std::wstring PlainForm(std::wstring_view path) {
    if (StartsWith(path, kExtendedUncPrefix)) {
        return L"\\\\" + std::wstring(path.substr(kExtendedUncPrefix.size()));
    }
    if (StartsWith(path, kExtendedPrefix)) {
        return std::wstring(path.substr(kExtendedPrefix.size()));
    }
    return std::wstring(path);
}

std::wstring_view VolumeRoot(std::wstring_view plainPath) noexcept {
    std::wstring_view root = plainPath.substr(0, PathRootLength(plainPath));
    while (!root.empty() && root.back() == L'\\') {
        root.remove_suffix(1);
    }
    return root;
}

// What the reparse point at `path` is: nothing (an ordinary file or folder, or a reparse point that
// names nowhere else), a link's target, or a failure (missing, unreadable, or a name for elsewhere
// that is no link this walk can judge).
enum class Part { Plain, Link, Refused };

Part LookAt(const std::wstring& path, LinkTarget& target) {
    const UniqueFile part(::CreateFileW(ExtendedLengthForm(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!part || !::GetFileInformationByHandleEx(part.get(), FileAttributeTagInfo, &tag, sizeof(tag))) {
        return Part::Refused;
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
        (tag.ReparseTag & kNameSurrogateBit) == 0) {
        return Part::Plain;
    }
    const std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[kMaxReparseDataBytes]);
    DWORD got = 0;
    if (!data || !::DeviceIoControl(part.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.get(),
                                    kMaxReparseDataBytes, &got, nullptr)) {
        return Part::Refused;
    }
    std::optional<LinkTarget> parsed = ParseLinkData(data.get(), got);
    if (!parsed) {
        return Part::Refused;
    }
    target = std::move(*parsed);
    return Part::Link;
}

} // namespace

std::optional<LinkTarget> ParseLinkData(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (data == nullptr || size < kHeaderBytes + kNameFieldsBytes) {
        return std::nullopt;
    }
    const ULONG tag = ReadAt<ULONG>(bytes, 0);
    const size_t dataLength = ReadAt<USHORT>(bytes, 4);
    if (tag != kSymbolicLinkTag && tag != kMountPointTag) {
        return std::nullopt;
    }
    const size_t end = kHeaderBytes + dataLength;
    const size_t names = kHeaderBytes + kNameFieldsBytes + (tag == kSymbolicLinkTag ? kLinkFlagsBytes : 0);
    if (end > size || names > end) {
        return std::nullopt;
    }
    const size_t nameOffset = names + ReadAt<USHORT>(bytes, kHeaderBytes);
    const size_t nameBytes = ReadAt<USHORT>(bytes, kHeaderBytes + 2);
    if (nameBytes == 0 || nameBytes % sizeof(wchar_t) != 0 || nameOffset + nameBytes > end) {
        return std::nullopt;
    }
    LinkTarget target;
    target.path.resize(nameBytes / sizeof(wchar_t));
    std::memcpy(target.path.data(), bytes + nameOffset, nameBytes);
    target.relative = tag == kSymbolicLinkTag &&
                      (ReadAt<ULONG>(bytes, kHeaderBytes + kNameFieldsBytes) & kRelativeLinkFlag) != 0;
    if (!target.relative && StartsWith(target.path, kNtPrefix) &&
        StartsWith(std::wstring_view(target.path).substr(kNtPrefix.size()), kVolumeByName)) {
        return std::nullopt; // a volume mounted here, by its name: another volume
    }
    return target;
}

std::wstring LinkDestination(std::wstring_view linkPath, const LinkTarget& target) {
    std::wstring destination;
    if (target.relative) {
        const std::wstring link = PlainForm(linkPath);
        if (StartsWith(target.path, L"\\")) {
            destination = std::wstring(VolumeRoot(link)) + target.path; // from the link's own volume root
        } else {
            const size_t slash = link.find_last_of(L'\\');
            if (slash == std::wstring::npos) {
                return {};
            }
            destination = link.substr(0, slash + 1) + target.path;
        }
    } else if (StartsWith(target.path, kNtPrefix)) {
        const std::wstring_view rest = std::wstring_view(target.path).substr(kNtPrefix.size());
        destination = StartsWith(rest, kNtUncPrefix)
                          ? L"\\\\" + std::wstring(rest.substr(kNtUncPrefix.size()))
                          : std::wstring(rest);
    } else {
        return {}; // a device or object path
    }
    if (PathRootLength(destination) == 0) {
        return {};
    }
    destination = FullPath(destination);
    while (destination.size() > PathRootLength(destination) && destination.back() == L'\\') {
        destination.pop_back();
    }
    return destination;
}

bool OnSameVolume(std::wstring_view first, std::wstring_view second) noexcept {
    try {
        const std::wstring a = PlainForm(first);
        const std::wstring b = PlainForm(second);
        const std::wstring_view rootA = VolumeRoot(a);
        const std::wstring_view rootB = VolumeRoot(b);
        return !rootA.empty() && rootA.size() == rootB.size() &&
               ::CompareStringOrdinal(rootA.data(), static_cast<int>(rootA.size()), rootB.data(),
                                      static_cast<int>(rootB.size()), TRUE) == CSTR_EQUAL;
    } catch (...) {
        return false;
    }
}

std::optional<std::wstring> PathWithLinksResolved(const std::wstring& root, const std::wstring& path,
                                                  std::wstring_view volume) {
    std::wstring current = path;
    size_t checked = root.size(); // everything before this position has been looked at
    int followed = 0;
    while (checked < current.size()) {
        const size_t start = current[checked] == L'\\' ? checked + 1 : checked;
        const size_t slash = current.find(L'\\', start);
        const size_t end = slash == std::wstring::npos ? current.size() : slash;
        const std::wstring part = current.substr(0, end);
        LinkTarget target;
        switch (LookAt(part, target)) {
        case Part::Refused:
            return std::nullopt;
        case Part::Plain:
            checked = end;
            break;
        case Part::Link: {
            const std::wstring destination = LinkDestination(part, target);
            if (++followed > kMaxLinksFollowed || destination.empty() || !OnSameVolume(destination, volume)) {
                return std::nullopt;
            }
            // The destination's own folders may be links too: all of them are looked at, from its root.
            current = destination + current.substr(end);
            checked = PathRootLength(current);
            break;
        }
        }
    }
    return current;
}
