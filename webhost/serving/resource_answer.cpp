#include "webhost/serving/resource_answer.h"

#include "platform/com_adopt.h"
#include "platform/utf8.h"
#include "webhost/serving/byte_range.h"
#include "webhost/serving/content_type.h"
#include "webhost/serving/document_file.h"
#include "webhost/serving/document_url.h"
#include "webhost/serving/file_range_stream.h"
#include "webhost/serving/folder_listing.h"
#include "webhost/serving/in_memory_answer.h"

#include <shlwapi.h>

namespace {

constexpr std::wstring_view kCrLf = L"\r\n";
// Every answer: nothing is kept between documents (a new one must never meet the old one's files).
constexpr std::wstring_view kNoStore = L"Cache-Control: no-store";
// Files are what their extension says, never sniffed into something else.
constexpr std::wstring_view kNoSniff = L"X-Content-Type-Options: nosniff";
// A file from beside the document is content, never a page of this origin with its rights.
constexpr std::wstring_view kSandboxed = L"Content-Security-Policy: sandbox";

void AddHeader(std::wstring& headers, std::wstring_view line) {
    if (!headers.empty()) {
        headers.append(kCrLf);
    }
    headers.append(line);
}

void AddHeader(std::wstring& headers, std::wstring_view name, std::wstring_view value) {
    if (!headers.empty()) {
        headers.append(kCrLf);
    }
    headers.append(name).append(L": ").append(value);
}

void NotFound(ResourceAnswer& answer) {
    answer = ResourceAnswer{};
    answer.status = 404;
    answer.reason = L"Not Found";
    AddHeader(answer.headers, kNoStore);
}

HRESULT AnswerFile(const ResourceRequest& request, const ServedDocument& document, ResourceAnswer& answer) {
    DocumentFile opened;
    const HRESULT found = OpenDocumentFile(request.uri, document, opened);
    if (FAILED(found)) {
        return found;
    }
    if (found != S_OK) {
        NotFound(answer);
        return S_OK;
    }
    const uint64_t size = opened.size;
    const ByteRangeChoice range = ChooseByteRange(request.range, size, kMaxPartialBytes, kMaxWholeBytes);
    answer = ResourceAnswer{};
    const std::wstring total = std::to_wstring(size);
    if (range.answer == RangeAnswer::Unsatisfiable) {
        answer.status = 416;
        answer.reason = L"Range Not Satisfiable";
        AddHeader(answer.headers, L"Content-Range", L"bytes */" + total);
        AddHeader(answer.headers, kNoStore);
        return S_OK;
    }
    const bool partial = range.answer == RangeAnswer::Partial;
    const uint64_t first = partial ? range.first : 0;
    const uint64_t length = partial ? range.length : size;
    const HRESULT made =
        CreateFileRangeStream(std::move(opened.file), first, length, answer.body.GetAddressOf());
    if (FAILED(made)) {
        return made;
    }
    answer.status = partial ? 206 : 200;
    answer.reason = partial ? L"Partial Content" : L"OK";
    AddHeader(answer.headers, L"Content-Type", ContentTypeForPath(opened.path));
    AddHeader(answer.headers, L"Content-Length", std::to_wstring(length));
    AddHeader(answer.headers, L"Accept-Ranges", L"bytes");
    if (partial) {
        AddHeader(answer.headers, L"Content-Range",
                  L"bytes " + std::to_wstring(first) + L"-" + std::to_wstring(first + length - 1) + L"/" +
                      total);
    }
    AddHeader(answer.headers, kNoStore);
    AddHeader(answer.headers, kNoSniff);
    AddHeader(answer.headers, kSandboxed);
    return S_OK;
}

HRESULT AnswerListing(const ResourceRequest& request, const ServedDocument& document,
                      ResourceAnswer& answer) {
    std::wstring json;
    const HRESULT listed = ListDocumentFolder(request.uri, document, json);
    if (FAILED(listed)) {
        return listed;
    }
    if (listed != S_OK) {
        NotFound(answer);
        return S_OK;
    }
    const std::string bytes = EncodeUtf8(json);
    answer = ResourceAnswer{};
    // The stream comes counted once: adopted, never attached (which would count it again).
    answer.body = AdoptComPtr(
        ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size())));
    if (!answer.body) {
        return E_OUTOFMEMORY;
    }
    answer.status = 200;
    answer.reason = L"OK";
    AddHeader(answer.headers, L"Content-Type: application/json; charset=utf-8");
    AddHeader(answer.headers, kNoStore);
    AddHeader(answer.headers, kNoSniff);
    return S_OK;
}

} // namespace

HRESULT AnswerAtOnce(const ResourceRequest& request, const std::string& page, ResourceAnswer& answer,
                     bool& answered) noexcept {
    answered = true;
    try {
        if (request.method != L"GET") {
            answer = ResourceAnswer{};
            answer.status = 405;
            answer.reason = L"Method Not Allowed";
            AddHeader(answer.headers, L"Allow", L"GET");
            AddHeader(answer.headers, kNoStore);
            return S_OK;
        }
        const HRESULT fromMemory = AnswerFromMemory(request.uri, page, answer);
        if (fromMemory != S_FALSE) {
            return fromMemory;
        }
        if (IsUnderDocumentBase(request.uri) || IsUnderFilesBase(request.uri)) {
            answered = false;
            return S_OK;
        }
        NotFound(answer);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT AnswerDocumentFile(const ResourceRequest& request, const ServedDocument& document,
                           ResourceAnswer& answer) noexcept {
    try {
        return IsUnderFilesBase(request.uri) ? AnswerListing(request, document, answer)
                                             : AnswerFile(request, document, answer);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
