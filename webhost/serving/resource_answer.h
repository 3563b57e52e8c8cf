// The program's answer to every request under its own origin: the page and the diagram library at
// their addresses (see in_memory_answer.h), files beside the current document under the document
// base, and "not found" for everything else.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include "webhost/serving/document_file.h"

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
// A whole answer (a request without a usable Range: a picture's) carries at most this many bytes, for
// the same reason: "![](huge.iso)" must not cost the file's size in memory. A larger file is answered
// with its first part (which a media element goes on from; a picture that large shows cut, if at all).
inline constexpr uint64_t kMaxWholeBytes = 64u << 20;

// The answers made at once, on the user-interface thread: 405 for any method but GET (everything is
// read-only), those kept in memory (in_memory_answer.h; `page` is the page's UTF-8 text), and 404 for
// every other address outside the document base and the folder listings. `answered` is false only for a
// GET under either, which AnswerDocumentFile answers. Fails only when out of memory.
HRESULT AnswerAtOnce(const ResourceRequest& request, const std::string& page, ResourceAnswer& answer,
                     bool& answered) noexcept;

// A GET under the document base: the file beside `document` that the address names (document_file.h),
// its content type from the extension, byte ranges (206, or 416 past the end). A GET of a folder listing
// (folder_listing.h): its JSON, as UTF-8. 404 for anything that is not served. Looks at the disk: on a
// worker thread. Fails only when out of memory.
HRESULT AnswerDocumentFile(const ResourceRequest& request, const ServedDocument& document,
                           ResourceAnswer& answer) noexcept;
