// From an address under the document base to the file it names beside the current document.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Whether `uri` lies under the document base at all (whatever its form).
bool IsUnderDocumentBase(std::wstring_view uri) noexcept;

// The delivery number that an address under the document base carries; nothing when it has none.
std::optional<uint32_t> DocumentUrlGeneration(std::wstring_view uri) noexcept;

// The file that `uri` names, given the current document's full path: the document's folder, climbed
// by the address's level count (never above the folder's root: a drive root or a share), then the
// address's path. A query or fragment is ignored. Nothing when there is no current document, when the
// address is not in the document base's form, or when a segment is not a plain file name: empty, a
// dot segment, not UTF-8 once percent-decoded, or one that Windows would read as something else (a
// stream after ":", a device such as NUL or COM1, wildcards, a slash or backslash, a control
// character, a trailing dot or space).
std::optional<std::wstring> DocumentFileForUrl(std::wstring_view uri, std::wstring_view documentPath);

// One segment of an address, percent-decoded and read as UTF-8; nothing when either step fails (or when
// it holds anything but ASCII, which no address from the runtime does).
std::optional<std::wstring> DecodeUrlSegment(std::wstring_view segment);

// Whether `name` may be opened as one path segment (the test above).
bool IsPlainFileName(std::wstring_view name) noexcept;

// The form of a full path that file functions take at any length: the extended-length prefix added
// ("\\?\C:\...", "\\?\UNC\server\share\..."), unless it is there already. Only for paths made by
// DocumentFileForUrl, which are full and hold no dot segments (the prefix turns off their folding).
std::wstring ExtendedLengthForm(std::wstring_view fullPath);

// The length of the root of a full path ("C:\", "\\server\share\", "\\?\C:\", "\\?\UNC\server\share\"),
// its last backslash included; 0 for a path without one.
size_t PathRootLength(std::wstring_view path) noexcept;
