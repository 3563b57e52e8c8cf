#include "test_runtime/web_resources.h"

#include "platform/com_adopt.h"
#include "platform/unique_handle.h"
#include "test_runtime/runtime_log.h"
#include "test_runtime/runtime_protocol.h"

#include <bcrypt.h>

#include <cstring>

using Microsoft::WRL::ComPtr;

namespace test_runtime {
namespace {

constexpr size_t kLoggedBodyLimit = 4096;
constexpr DWORD kStreamReadTimeout = 10000;

HRESULT CopyOut(const std::wstring& text, LPWSTR* out) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(::CoTaskMemAlloc(bytes));
    if (*out == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(*out, text.c_str(), bytes);
    return S_OK;
}

// The request's headers: only Range, when the page asked for one.
class TestRequestHeaders final : public ComObject<ICoreWebView2HttpRequestHeaders> {
public:
    explicit TestRequestHeaders(std::wstring range) noexcept
        : ComObject(IID_ICoreWebView2HttpRequestHeaders), range_(std::move(range)) {}
    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override {
        if (value != nullptr) {
            *value = nullptr;
        }
        if (name == nullptr || range_.empty() || ::lstrcmpiW(name, L"Range") != 0) {
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        }
        return CopyOut(range_, value);
    }
    HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR, BrowserOpaque**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* contains) override {
        if (contains == nullptr) {
            return E_POINTER;
        }
        *contains = name != nullptr && !range_.empty() && ::lstrcmpiW(name, L"Range") == 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIterator(BrowserOpaque**) override { return E_NOTIMPL; }

private:
    const std::wstring range_;
};

class TestRequest final : public ComObject<ICoreWebView2WebResourceRequest> {
public:
    TestRequest(std::wstring uri, std::wstring method, std::wstring range) noexcept
        : ComObject(IID_ICoreWebView2WebResourceRequest), uri_(std::move(uri)), method_(std::move(method)),
          range_(std::move(range)) {}
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CopyOut(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) override { return CopyOut(method_, method); }
    HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override {
        if (content == nullptr) {
            return E_POINTER;
        }
        *content = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Content(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) override {
        if (headers == nullptr) {
            return E_POINTER;
        }
        *headers = new (std::nothrow) TestRequestHeaders(range_);
        return *headers == nullptr ? E_OUTOFMEMORY : S_OK;
    }

private:
    const std::wstring uri_;
    const std::wstring method_;
    const std::wstring range_;
};

// Deferrals are not offered: every handler must answer before it returns.
class TestResourceArgs final : public ComObject<ICoreWebView2WebResourceRequestedEventArgs> {
public:
    explicit TestResourceArgs(ComPtr<ICoreWebView2WebResourceRequest> request) noexcept
        : ComObject(IID_ICoreWebView2WebResourceRequestedEventArgs), request_(std::move(request)) {}
    HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) override {
        return request_.CopyTo(request);
    }
    HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) override {
        return response_.CopyTo(response);
    }
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override {
        response_ = response;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        if (deferral != nullptr) {
            *deferral = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_ResourceContext(int* context) override {
        if (context == nullptr) {
            return E_POINTER;
        }
        *context = 0;
        return S_OK;
    }

    ComPtr<ICoreWebView2WebResourceResponse> response_;

private:
    const ComPtr<ICoreWebView2WebResourceRequest> request_;
};

class TestNavigationArgs final : public ComObject<ICoreWebView2NavigationStartingEventArgs> {
public:
    TestNavigationArgs(std::wstring uri, bool userInitiated, UINT64 id) noexcept
        : ComObject(IID_ICoreWebView2NavigationStartingEventArgs), uri_(std::move(uri)),
          userInitiated_(userInitiated), id_(id) {}
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CopyOut(uri_, uri); }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override { return Out(value, userInitiated_); }
    HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* value) override { return Out(value, FALSE); }
    HRESULT STDMETHODCALLTYPE get_RequestHeaders(BrowserOpaque** headers) override {
        if (headers != nullptr) {
            *headers = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* value) override { return Out(value, cancel); }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL value) override {
        cancel = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* id) override {
        if (id == nullptr) {
            return E_POINTER;
        }
        *id = id_;
        return S_OK;
    }

    BOOL cancel = FALSE;

private:
    static HRESULT Out(BOOL* out, BOOL value) noexcept {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = value;
        return S_OK;
    }
    const std::wstring uri_;
    const BOOL userInitiated_;
    const UINT64 id_;
};

class TestNewWindowArgs final : public ComObject<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    TestNewWindowArgs(std::wstring uri, bool userInitiated) noexcept
        : ComObject(IID_ICoreWebView2NewWindowRequestedEventArgs), uri_(std::move(uri)),
          userInitiated_(userInitiated) {}
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CopyOut(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* window) override {
        newWindow = window;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** window) override {
        return newWindow.CopyTo(window);
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override {
        handled = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = handled;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = userInitiated_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        if (deferral != nullptr) {
            *deferral = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(BrowserOpaque** features) override {
        if (features != nullptr) {
            *features = nullptr;
        }
        return E_NOTIMPL;
    }

    BOOL handled = FALSE;
    ComPtr<ICoreWebView2> newWindow;

private:
    const std::wstring uri_;
    const BOOL userInitiated_;
};

struct AlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::BCryptDestroyHash(h); }
};

std::string Sha256Hex(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    UniqueHandle<AlgorithmTraits> algorithm;
    UniqueHandle<HashTraits> hash;
    unsigned char digest[32] = {};
    if (::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
        ::BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0) != 0 ||
        ::BCryptHashData(hash.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                         static_cast<ULONG>(bytes.size()), 0) != 0 ||
        ::BCryptFinishHash(hash.get(), digest, sizeof(digest), 0) != 0) {
        return "no-digest";
    }
    std::string hex;
    for (const unsigned char byte : digest) {
        hex.push_back(kHex[byte >> 4]);
        hex.push_back(kHex[byte & 0xF]);
    }
    return hex;
}

// What the real runtime does with a response body: on a worker thread of its own, rewind the stream
// and read it to the end.
struct StreamRead {
    IStream* stream = nullptr;
    std::string bytes;
    HRESULT result = E_PENDING;
};

DWORD WINAPI ReadStreamOnWorker(void* parameter) noexcept {
    auto* read = static_cast<StreamRead*>(parameter);
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        LARGE_INTEGER start{};
        HRESULT hr = read->stream->Seek(start, STREAM_SEEK_SET, nullptr);
        char chunk[65536];
        while (SUCCEEDED(hr)) {
            ULONG got = 0;
            hr = read->stream->Read(chunk, sizeof(chunk), &got);
            if (FAILED(hr)) {
                break;
            }
            read->bytes.append(chunk, got);
            if (got == 0 || hr == S_FALSE) {
                hr = S_OK;
                break;
            }
        }
        read->result = hr;
    } catch (...) {
        read->result = E_OUTOFMEMORY;
    }
    ::CoUninitialize();
    return 0;
}

HRESULT ReadWhole(IStream* stream, std::string& bytes) {
    auto* read = new StreamRead();
    read->stream = stream;
    UniqueKernelHandle worker(::CreateThread(nullptr, 0, ReadStreamOnWorker, read, 0, nullptr));
    if (!worker) {
        delete read;
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    if (::WaitForSingleObject(worker.get(), kStreamReadTimeout) != WAIT_OBJECT_0) {
        // A stream that blocks would stall every response of the real runtime. The stuck worker still
        // uses `read`, so it is left to it.
        return HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    }
    bytes = std::move(read->bytes);
    const HRESULT result = read->result;
    delete read;
    return result;
}

// Bytes as a text of one code unit each, for the log's escaped field.
std::wstring ByteText(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    }
    return text;
}

} // namespace

TestResponse::TestResponse(IStream* content, int status, std::wstring reason, std::wstring headers) noexcept
    : ComObject(IID_ICoreWebView2WebResourceResponse), content(content), status(status),
      reason(std::move(reason)), headers(std::move(headers)) {
}

HRESULT STDMETHODCALLTYPE TestResponse::get_Content(IStream** out) {
    return content.CopyTo(out);
}
HRESULT STDMETHODCALLTYPE TestResponse::put_Content(IStream* value) {
    content = value;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE TestResponse::get_Headers(ICoreWebView2HttpResponseHeaders** out) {
    if (out != nullptr) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TestResponse::get_StatusCode(int* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = status;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE TestResponse::put_StatusCode(int value) {
    status = value;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE TestResponse::get_ReasonPhrase(LPWSTR* out) {
    return CopyOut(reason, out);
}
HRESULT STDMETHODCALLTYPE TestResponse::put_ReasonPhrase(LPCWSTR value) {
    reason = value == nullptr ? L"" : value;
    return S_OK;
}

bool GlobMatches(std::wstring_view pattern, std::wstring_view text) noexcept {
    // Iterative matching with one backtrack point for the last "*".
    size_t p = 0;
    size_t t = 0;
    size_t starP = std::wstring_view::npos;
    size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starT = t;
            continue;
        }
        if (p < pattern.size()) {
            const bool escaped = pattern[p] == L'\\' && p + 1 < pattern.size() &&
                                 (pattern[p + 1] == L'*' || pattern[p + 1] == L'?');
            const wchar_t want = escaped ? pattern[p + 1] : pattern[p];
            if ((!escaped && want == L'?') || want == text[t]) {
                p += escaped ? 2 : 1;
                ++t;
                continue;
            }
        }
        if (starP == std::wstring_view::npos) {
            return false;
        }
        p = starP + 1;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

void RequestFilters::Add(const std::wstring& pattern, int context) {
    filters_.push_back({pattern, context});
}

bool RequestFilters::Remove(const std::wstring& pattern, int context) {
    for (auto it = filters_.begin(); it != filters_.end(); ++it) {
        if (it->pattern == pattern && it->context == context) {
            filters_.erase(it);
            return true;
        }
    }
    return false;
}

bool RequestFilters::Matches(const std::wstring& uri) const {
    const std::wstring_view withoutFragment = std::wstring_view(uri).substr(0, uri.find(L'#'));
    for (const Filter& filter : filters_) {
        if (GlobMatches(filter.pattern, withoutFragment)) {
            return true;
        }
    }
    return false;
}

void RaiseResourceRequest(ICoreWebView2* sender, const RequestFilters& filters,
                          const std::vector<ComPtr<ICoreWebView2WebResourceRequestedEventHandler>>& handlers,
                          const std::wstring& uri, const std::wstring& method, const std::wstring& range) {
    Log("request", {EscapeField(uri), EscapeField(method), EscapeField(range)});
    if (!filters.Matches(uri)) {
        Log("request-unfiltered", {EscapeField(uri)});
        return;
    }
    const ComPtr<ICoreWebView2WebResourceRequest> request =
        AdoptComPtr<ICoreWebView2WebResourceRequest>(new TestRequest(uri, method, range));
    const ComPtr<TestResourceArgs> args = AdoptComPtr(new TestResourceArgs(request));
    for (const auto& handler : handlers) {
        handler->Invoke(sender, args.Get());
    }
    ComPtr<ICoreWebView2WebResourceResponse> answered = args->response_;
    if (!answered) {
        Log("response-unset", {EscapeField(uri)});
        return;
    }
    auto* response = static_cast<TestResponse*>(answered.Get());
    std::string body;
    if (response->content) {
        const HRESULT read = ReadWhole(response->content.Get(), body);
        if (FAILED(read)) {
            Log("stream-failed", {HresultField(read)});
            return;
        }
    }
    Log("response",
        {NumberField(response->status), EscapeField(response->reason), EscapeField(response->headers),
         NumberField(static_cast<long long>(body.size())), Sha256Hex(body),
         body.size() <= kLoggedBodyLimit ? EscapeField(ByteText(body)) : std::string("\\z")});
}

bool RaiseNavigationStarting(ICoreWebView2* sender,
                             const std::vector<ComPtr<ICoreWebView2NavigationStartingEventHandler>>& handlers,
                             const std::wstring& uri, bool userInitiated) {
    static UINT64 nextId = 1;
    Log("navigation-starting", {EscapeField(uri), NumberField(userInitiated)});
    const ComPtr<TestNavigationArgs> args = AdoptComPtr(new TestNavigationArgs(uri, userInitiated, nextId++));
    for (const auto& handler : handlers) {
        handler->Invoke(sender, args.Get());
    }
    Log("navigation-cancel", {NumberField(args->cancel != FALSE)});
    return args->cancel != FALSE;
}

bool RaiseNewWindowRequested(ICoreWebView2* sender,
                             const std::vector<ComPtr<ICoreWebView2NewWindowRequestedEventHandler>>& handlers,
                             const std::wstring& uri, bool userInitiated) {
    Log("new-window", {EscapeField(uri), NumberField(userInitiated)});
    const ComPtr<TestNewWindowArgs> args = AdoptComPtr(new TestNewWindowArgs(uri, userInitiated));
    for (const auto& handler : handlers) {
        handler->Invoke(sender, args.Get());
    }
    Log("new-window-handled", {NumberField(args->handled != FALSE), NumberField(args->newWindow != nullptr)});
    return args->handled != FALSE || args->newWindow != nullptr;
}

} // namespace test_runtime
