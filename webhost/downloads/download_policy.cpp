#include "webhost/downloads/download_policy.h"

#include "webhost/text/case_insensitive.h"
#include "webhost/serving/document_url.h"
#include "webhost/links/link_policy.h"

#include <optional>

namespace {

constexpr std::wstring_view kWebSchemes[] = {L"http:", L"https:"};

std::wstring_view LastComponent(std::wstring_view path) noexcept {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// The name without its extension.
std::wstring_view StemOf(std::wstring_view name) noexcept {
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos || dot == 0 ? name : name.substr(0, dot);
}

bool IsWebAddress(std::wstring_view uri) noexcept {
    for (const std::wstring_view scheme : kWebSchemes) {
        if (uri.size() > scheme.size() && EqualsIgnoringCase(uri.substr(0, scheme.size()), scheme)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::wstring_view ExtensionOf(std::wstring_view path) noexcept {
    const std::wstring_view name = LastComponent(path);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos || dot == 0 ? std::wstring_view() : name.substr(dot + 1);
}

std::wstring SaveNameFor(std::wstring_view suggestedName, std::wstring_view sourcePath) {
    const std::wstring_view extension = ExtensionOf(sourcePath);
    std::wstring name(StemOf(LastComponent(suggestedName)));
    if (!extension.empty()) {
        name.append(L".").append(extension);
    }
    if (StemOf(name).empty() || !IsPlainFileName(name) || (!extension.empty() && name.front() == L'.')) {
        return std::wstring(LastComponent(sourcePath));
    }
    return name;
}

DownloadDecision DecideDownload(std::wstring_view uri, std::wstring_view suggestedPath, bool userInitiated,
                                const std::wstring& documentPath) {
    if (IsUnderDocumentBase(uri)) {
        const std::optional<std::wstring> source = DocumentFileForUrl(uri, documentPath);
        if (!source) {
            return {};
        }
        return {DownloadAction::SaveDocumentFile, std::wstring(uri),
                SaveNameFor(LastComponent(suggestedPath), *source)};
    }
    if (!userInitiated || !IsWebAddress(uri)) {
        return {};
    }
    // The same rules as a link to it: the page's own origin is refused, the address made safe.
    LinkDecision link = DecideLink(uri, true, ServedDocument{});
    if (link.action != LinkAction::OpenExternally) {
        return {};
    }
    return {DownloadAction::OpenExternally, std::move(link.target), {}};
}
