#include "webhost/links/link_policy.h"

#include "platform/unique_handle.h"
#include "webhost/text/case_insensitive.h"
#include "webhost/serving/document_url.h"
#include "webhost/serving/page_origin.h"

#include <windows.h>

#include <cwctype>
#include <optional>

namespace {

constexpr std::wstring_view kExternalSchemes[] = {L"http", L"https", L"mailto"};
constexpr std::wstring_view kMailScheme = L"mailto";
// The fields a mail link may fill in. Every other one goes: `attach=` and its kin would have the mail
// program send a local file along.
constexpr std::wstring_view kMailFields[] = {L"subject", L"body", L"cc", L"bcc"};
constexpr std::wstring_view kViewerExtensions[] = {L"md", L"markdown", L"mdown", L"mkd", L"txt"};
// Characters that mean something to a command line or are not plain URL text; percent-encoded.
constexpr std::wstring_view kEncodedCharacters = L"\"<>\\^`{|} ";

// The scheme before the first colon, when the text starts with one (letter, then letters, digits,
// "+", "-" or ".").
std::wstring_view SchemeOf(std::wstring_view uri) noexcept {
    const size_t colon = uri.find(L':');
    if (colon == std::wstring_view::npos || colon == 0 || !std::iswalpha(uri[0]) || uri[0] > 0x7F) {
        return {};
    }
    for (size_t i = 1; i < colon; ++i) {
        const wchar_t c = uri[i];
        if (c > 0x7F || !(std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.')) {
            return {};
        }
    }
    return uri.substr(0, colon);
}

bool IsOwnOrigin(std::wstring_view uri) noexcept {
    if (uri.size() < kPageOrigin.size() ||
        !EqualsIgnoringCase(uri.substr(0, kPageOrigin.size()), kPageOrigin)) {
        return false;
    }
    return uri.size() == kPageOrigin.size() ||
           std::wstring_view(L"/?#").find(uri[kPageOrigin.size()]) != std::wstring_view::npos;
}

bool HasViewerExtension(std::wstring_view path) noexcept {
    const size_t dot = path.find_last_of(L".\\");
    if (dot == std::wstring_view::npos || path[dot] != L'.') {
        return false;
    }
    for (const std::wstring_view extension : kViewerExtensions) {
        if (EqualsIgnoringCase(path.substr(dot + 1), extension)) {
            return true;
        }
    }
    return false;
}

constexpr std::wstring_view kVerbatimUnc = L"\\\\?\\UNC\\";

// The server and share a path names ("\\server\share" of "\\server\share\a.md" or of its
// "\\?\UNC\" form); empty for a path on a drive.
std::wstring_view ShareOf(std::wstring_view path) noexcept {
    size_t start = 0;
    if (path.substr(0, kVerbatimUnc.size()) == kVerbatimUnc) {
        start = kVerbatimUnc.size();
    } else if (path.substr(0, 2) == L"\\\\" && path.substr(0, 4) != L"\\\\?\\") {
        start = 2;
    } else {
        return {};
    }
    const size_t server = path.find(L'\\', start);
    if (server == std::wstring_view::npos) {
        return {};
    }
    const size_t share = path.find(L'\\', server + 1);
    return path.substr(start, (share == std::wstring_view::npos ? path.size() : share) - start);
}

// The fragment of an address, without its "#".
std::wstring_view FragmentOf(std::wstring_view uri) noexcept {
    const size_t hash = uri.find(L'#');
    return hash == std::wstring_view::npos ? std::wstring_view() : uri.substr(hash + 1);
}

bool IsMailField(std::wstring_view name) noexcept {
    for (const std::wstring_view field : kMailFields) {
        if (EqualsIgnoringCase(name, field)) {
            return true;
        }
    }
    return false;
}

// A mail address with only the known fields of its query, in their order; the fragment goes too.
std::wstring KeepMailFields(std::wstring_view uri) {
    uri = uri.substr(0, uri.find(L'#'));
    const size_t query = uri.find(L'?');
    std::wstring kept(uri.substr(0, query));
    if (query == std::wstring_view::npos) {
        return kept;
    }
    std::wstring_view rest = uri.substr(query + 1);
    wchar_t separator = L'?';
    for (;;) {
        const size_t ampersand = rest.find(L'&');
        const std::wstring_view field = rest.substr(0, ampersand);
        if (IsMailField(field.substr(0, field.find(L'=')))) {
            kept.push_back(separator);
            kept.append(field);
            separator = L'&';
        }
        if (ampersand == std::wstring_view::npos) {
            return kept;
        }
        rest = rest.substr(ampersand + 1);
    }
}

// The address with every unsafe character percent-encoded as UTF-8; nothing when it is too long.
std::optional<std::wstring> SafeExternalAddress(std::wstring_view uri) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring safe;
    safe.reserve(uri.size());
    for (size_t i = 0; i < uri.size(); ++i) {
        const wchar_t c = uri[i];
        if (c > L' ' && c < 0x7F && kEncodedCharacters.find(c) == std::wstring_view::npos) {
            safe.push_back(c);
            continue;
        }
        // A surrogate pair is one character; a lone surrogate becomes U+FFFD.
        const bool pair =
            c >= 0xD800 && c <= 0xDBFF && i + 1 < uri.size() && uri[i + 1] >= 0xDC00 && uri[i + 1] <= 0xDFFF;
        char bytes[8] = {};
        const int count =
            ::WideCharToMultiByte(CP_UTF8, 0, &uri[i], pair ? 2 : 1, bytes, sizeof(bytes), nullptr, nullptr);
        i += pair ? 1 : 0;
        for (int b = 0; b < count; ++b) {
            const auto byte = static_cast<unsigned char>(bytes[b]);
            safe.push_back(L'%');
            safe.push_back(kHex[byte >> 4]);
            safe.push_back(kHex[byte & 0xF]);
        }
    }
    if (safe.size() > kMaxExternalAddress) {
        return std::nullopt;
    }
    return safe;
}

} // namespace

LinkDecision DecideLink(std::wstring_view uri, bool userInitiated, const ServedDocument& shown) {
    if (!userInitiated) {
        return {};
    }
    if (IsOwnOrigin(uri)) {
        // An address of a document shown before climbs from another folder than the shown one's.
        if (shown.path.empty() || DocumentUrlGeneration(uri) != shown.generation) {
            return {};
        }
        const std::optional<std::wstring> path = DocumentFileForUrl(uri, shown.path);
        if (path && HasViewerExtension(*path)) {
            return {LinkAction::OpenInViewer, *path, std::wstring(FragmentOf(uri))};
        }
        return {};
    }
    const std::wstring_view scheme = SchemeOf(uri);
    for (const std::wstring_view external : kExternalSchemes) {
        if (EqualsIgnoringCase(scheme, external)) {
            const std::wstring mail = EqualsIgnoringCase(scheme, kMailScheme) ? KeepMailFields(uri) : L"";
            std::optional<std::wstring> address = SafeExternalAddress(mail.empty() ? uri : mail);
            if (!address) {
                return {};
            }
            return {LinkAction::OpenExternally, std::move(*address), {}};
        }
    }
    return {};
}

HRESULT CheckLinkedDocument(const std::wstring& path) noexcept {
    try {
        // Attributes only, sharing everything: the open stands in no writer's way. A folder cannot be
        // opened without backup semantics, which are not asked for.
        const UniqueFile file(::CreateFileW(ExtendedLengthForm(path).c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        BY_HANDLE_FILE_INFORMATION information{};
        if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK ||
            !::GetFileInformationByHandle(file.get(), &information) ||
            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return S_FALSE;
        }
        const std::wstring final = FinalPathOf(file.get());
        if (final.empty()) {
            return S_FALSE;
        }
        // On a share only when the link itself named that share: a link or junction that leads a local
        // path onto a share (offering the user's credentials to its server) is not followed.
        const std::wstring_view finalShare = ShareOf(final);
        return finalShare.empty() || EqualsIgnoringCase(finalShare, ShareOf(path)) ? S_OK : S_FALSE;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
