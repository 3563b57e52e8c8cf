// The program's answer to every request under its own origin: the page and the diagram library at
// their addresses (see in_memory_answer.h), files beside the current document under the document
// base, and "not found" for everything else.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <string_view>

struct ResourceRequest {
    std::wstring_view uri;
    std::wstring_view method;
    std::wstring_view range; // the Range header; empty when absent
};

struct ResourceAnswer {
    int status = 404;
    std::wstring reason;
    std::wstring headers;                 // one "Name: value" line each, separated by CR LF
    Microsoft::WRL::ComPtr<IStream> body; // null: no body
};

// A partial answer carries at most this many bytes. The runtime takes a response body whole before it
// hands it on, so a seek in a long video must not cost the whole video; the media element asks again
// for what follows.
inline constexpr uint64_t kMaxPartialBytes = 8u << 20;

// Read-only and GET only (405 otherwise). `page` is the page's UTF-8 text; `documentPath` the current
// document's full path, empty when none is shown (then everything under the document base is 404).
// Files: the content type from the extension, byte ranges (206, or 416 past the end), 404 for anything
// missing, a folder, unreadable or not a plain file. Fails only when out of memory.
HRESULT AnswerResourceRequest(const ResourceRequest& request, const std::string& page,
                              const std::wstring& documentPath, ResourceAnswer& answer) noexcept;
