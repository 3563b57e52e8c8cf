#include "webhost/serving/document_url.h"

#include "webhost/text/case_insensitive.h"
#include "webhost/text/hex_digit.h"
#include "webhost/serving/page_origin.h"

#include <windows.h>

#include <array>
#include <cwctype>

namespace {

// Deeper climbs than this end at the root anyway; the cap only keeps a hostile number small.
constexpr size_t kMaxLevelDigits = 4;
// The host's delivery number: ten digits hold any 32-bit value.
constexpr size_t kMaxGenerationDigits = 10;

// Device names that Windows opens as devices in any folder, with or without an extension.
constexpr std::array<std::wstring_view, 6> kDeviceNames = {L"CON", L"PRN",    L"AUX",
                                                           L"NUL", L"CONIN$", L"CONOUT$"};
constexpr std::wstring_view kNumberedDevices[] = {L"COM", L"LPT"};
constexpr std::wstring_view kForbiddenCharacters = L"<>:\"/\\|?*";

bool IsDeviceName(std::wstring_view name) noexcept {
    // The device part is what stands before the first dot, without trailing spaces.
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') {
        stem.remove_suffix(1);
    }
    for (const std::wstring_view device : kDeviceNames) {
        if (EqualsIgnoringCase(stem, device)) {
            return true;
        }
    }
    if (stem.size() == 4) {
        const wchar_t digit = stem[3];
        const bool deviceDigit = (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' ||
                                 digit == L'\u00B2' || digit == L'\u00B3';
        for (const std::wstring_view prefix : kNumberedDevices) {
            if (deviceDigit && EqualsIgnoringCase(stem.substr(0, 3), prefix)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

std::optional<std::wstring> DecodeUrlSegment(std::wstring_view segment) {
    std::string bytes;
    bytes.reserve(segment.size());
    for (size_t i = 0; i < segment.size(); ++i) {
        const wchar_t c = segment[i];
        if (c == L'%') {
            const int high = i + 2 < segment.size() ? HexDigitValue(segment[i + 1]) : -1;
            const int low = high >= 0 ? HexDigitValue(segment[i + 2]) : -1;
            if (low < 0) {
                return std::nullopt;
            }
            bytes.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else if (c < 0x80) {
            bytes.push_back(static_cast<char>(c));
        } else {
            return std::nullopt; // a URL from the runtime is ASCII; anything else is not one
        }
    }
    if (bytes.empty()) {
        return std::wstring();
    }
    const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                            static_cast<int>(bytes.size()), nullptr, 0);
    if (units <= 0) {
        return std::nullopt;
    }
    std::wstring name(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                          name.data(), units);
    return name;
}

namespace {

// Reads a run of 1..maxDigits decimal digits followed by a slash; advances `at` past the slash.
std::optional<size_t> ReadNumberSegment(std::wstring_view text, size_t& at, size_t maxDigits) noexcept {
    size_t value = 0;
    size_t digits = 0;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
        if (++digits > maxDigits) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<size_t>(text[at] - L'0');
        ++at;
    }
    if (digits == 0 || at >= text.size() || text[at] != L'/') {
        return std::nullopt;
    }
    ++at;
    return value;
}

// The position just after the path component that ends at `end` (exclusive), never inside the root.
size_t ParentEnd(std::wstring_view path, size_t end, size_t root) noexcept {
    if (end <= root) {
        return end;
    }
    const size_t slash = path.find_last_of(L'\\', end - 1);
    if (slash == std::wstring_view::npos || slash + 1 <= root) {
        return root;
    }
    return slash;
}

} // namespace

bool IsUnderDocumentBase(std::wstring_view uri) noexcept {
    return uri.substr(0, kDocumentBase.size()) == kDocumentBase;
}

size_t PathRootLength(std::wstring_view path) noexcept {
    // The server and share of a UNC path (after `start`) form its root.
    const auto shareRoot = [&](size_t start) -> size_t {
        const size_t server = path.find(L'\\', start);
        if (server == std::wstring_view::npos || server == start) {
            return 0;
        }
        const size_t share = path.find(L'\\', server + 1);
        return share == std::wstring_view::npos ? path.size() : share + 1;
    };
    const auto driveRoot = [&](size_t start) -> size_t {
        if (path.size() >= start + 3 && std::iswalpha(path[start]) && path[start + 1] == L':' &&
            path[start + 2] == L'\\') {
            return start + 3;
        }
        return 0;
    };
    constexpr std::wstring_view kVerbatim = L"\\\\?\\";
    constexpr std::wstring_view kVerbatimUnc = L"\\\\?\\UNC\\";
    if (path.substr(0, kVerbatimUnc.size()) == kVerbatimUnc) {
        return shareRoot(kVerbatimUnc.size());
    }
    if (path.substr(0, kVerbatim.size()) == kVerbatim) {
        return driveRoot(kVerbatim.size());
    }
    if (path.substr(0, 2) == L"\\\\") {
        return shareRoot(2);
    }
    return driveRoot(0);
}

std::wstring ExtendedLengthForm(std::wstring_view fullPath) {
    constexpr std::wstring_view kVerbatim = L"\\\\?\\";
    if (fullPath.substr(0, kVerbatim.size()) == kVerbatim) {
        return std::wstring(fullPath);
    }
    if (fullPath.substr(0, 2) == L"\\\\") {
        return L"\\\\?\\UNC\\" + std::wstring(fullPath.substr(2));
    }
    return std::wstring(kVerbatim) + std::wstring(fullPath);
}

bool IsPlainFileName(std::wstring_view name) noexcept {
    if (name.empty() || name == L"." || name == L"..") {
        return false;
    }
    for (const wchar_t c : name) {
        if (c < 0x20 || kForbiddenCharacters.find(c) != std::wstring_view::npos) {
            return false;
        }
    }
    if (name.back() == L'.' || name.back() == L' ') {
        return false; // Windows would drop them and open another name
    }
    return !IsDeviceName(name);
}

std::optional<uint32_t> DocumentUrlGeneration(std::wstring_view uri) noexcept {
    if (!IsUnderDocumentBase(uri)) {
        return std::nullopt;
    }
    size_t at = 0;
    const std::optional<size_t> generation =
        ReadNumberSegment(uri.substr(kDocumentBase.size()), at, kMaxGenerationDigits);
    if (!generation || *generation > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(*generation);
}

std::optional<std::wstring> DocumentFileForUrl(std::wstring_view uri, std::wstring_view documentPath) {
    if (documentPath.empty() || !IsUnderDocumentBase(uri)) {
        return std::nullopt;
    }
    std::wstring_view rest = uri.substr(kDocumentBase.size());
    rest = rest.substr(0, rest.find_first_of(L"?#"));
    size_t at = 0;
    if (!ReadNumberSegment(rest, at, kMaxGenerationDigits)) {
        return std::nullopt;
    }
    const std::optional<size_t> levels = ReadNumberSegment(rest, at, kMaxLevelDigits);
    if (!levels || at >= rest.size()) {
        return std::nullopt;
    }

    const size_t root = PathRootLength(documentPath);
    if (root == 0) {
        return std::nullopt;
    }
    size_t folderEnd = ParentEnd(documentPath, documentPath.size(), root);
    for (size_t i = 0; i < *levels && folderEnd > root; ++i) {
        folderEnd = ParentEnd(documentPath, folderEnd, root);
    }
    std::wstring file(documentPath.substr(0, folderEnd));

    while (at <= rest.size()) {
        const size_t slash = rest.find(L'/', at);
        const size_t end = slash == std::wstring_view::npos ? rest.size() : slash;
        const std::optional<std::wstring> name = DecodeUrlSegment(rest.substr(at, end - at));
        if (!name || !IsPlainFileName(*name)) {
            return std::nullopt;
        }
        if (file.back() != L'\\') {
            file.push_back(L'\\');
        }
        file.append(*name);
        at = end + 1;
    }
    return file;
}
