#include "webhost/serving/in_memory_answer.h"

#include "platform/com_adopt.h"
#include "webhost/serving/embedded_resource.h"
#include "webhost/serving/page_origin.h"

#include <shlwapi.h>

#include <climits>
#include <span>

namespace {

HRESULT AnswerBytes(std::span<const unsigned char> bytes, std::wstring_view headers, ResourceAnswer& answer) {
    if (bytes.size() > UINT_MAX) {
        return E_OUTOFMEMORY;
    }
    answer = ResourceAnswer{};
    // The stream comes counted once: adopted, never attached (which would count it again).
    answer.body = AdoptComPtr(::SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
    if (!answer.body) {
        return E_OUTOFMEMORY;
    }
    answer.status = 200;
    answer.reason = L"OK";
    answer.headers = headers;
    return S_OK;
}

struct EmbeddedLibrary {
    std::wstring_view url;
    WORD resourceId;
};

constexpr EmbeddedLibrary kEmbeddedLibraries[] = {
    {kDiagramLibraryUrl, kDiagramLibraryResourceId},
    {kHighlighterUrl, kHighlighterResourceId},
    {kFormulasUrl, kFormulasResourceId},
    {kGithubConverterUrl, kGithubConverterResourceId},
    {kCharsetDetectorUrl, kCharsetDetectorResourceId},
};

bool IsPageAddress(std::wstring_view uri) noexcept {
    constexpr std::wstring_view page = kPageUrl;
    return uri.substr(0, page.size()) == page && (uri.size() == page.size() || uri[page.size()] == L'?');
}

} // namespace

HRESULT AnswerFromMemory(std::wstring_view uri, const std::string& page, ResourceAnswer& answer) noexcept {
    try {
        if (IsPageAddress(uri)) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(page.data());
            return AnswerBytes({bytes, page.size()},
                               L"Content-Type: text/html; charset=utf-8\r\nCache-Control: no-store", answer);
        }
        const EmbeddedLibrary* known = nullptr;
        for (const EmbeddedLibrary& candidate : kEmbeddedLibraries) {
            if (uri == candidate.url) {
                known = &candidate;
            }
        }
        if (!known) {
            return S_FALSE;
        }
        const auto library = FindRcData(nullptr, known->resourceId);
        if (!library) {
            answer = ResourceAnswer{};
            answer.reason = L"Not Found";
            answer.headers = L"Cache-Control: no-store";
            return S_OK;
        }
        // Scripts of the page's own, never sniffed into anything else.
        return AnswerBytes(*library,
                           L"Content-Type: text/javascript; charset=utf-8\r\nCache-Control: no-store\r\n"
                           L"X-Content-Type-Options: nosniff",
                           answer);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
