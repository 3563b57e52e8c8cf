// The test runtime's side of web-resource requests, navigation starts and new-window requests: the
// objects the program's handlers receive, the request filters, and reading a response the way the real
// runtime does (rewound, whole, on a worker thread).
#pragma once

#include "support/com_stubs.h"

#include <wrl/client.h>

#include <string>
#include <vector>

namespace test_runtime {

// A response made by the environment for the program.
class TestResponse final : public ComObject<ICoreWebView2WebResourceResponse> {
public:
    TestResponse(IStream* content, int status, std::wstring reason, std::wstring headers) noexcept;
    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override;
    HRESULT STDMETHODCALLTYPE put_Content(IStream* content) override;
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders** headers) override;
    HRESULT STDMETHODCALLTYPE get_StatusCode(int* status) override;
    HRESULT STDMETHODCALLTYPE put_StatusCode(int status) override;
    HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* reason) override;
    HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reason) override;

    Microsoft::WRL::ComPtr<IStream> content;
    int status;
    std::wstring reason;
    std::wstring headers;
};

// The request filters of one web view: globs over the whole URI ("*" any run, "?" one character,
// "\*" and "\?" themselves), as the real runtime matches them.
class RequestFilters {
public:
    void Add(const std::wstring& pattern, int context);
    bool Remove(const std::wstring& pattern, int context);
    [[nodiscard]] bool Matches(const std::wstring& uri) const;

private:
    struct Filter {
        std::wstring pattern;
        int context;
    };
    std::vector<Filter> filters_;
};

bool GlobMatches(std::wstring_view pattern, std::wstring_view text) noexcept;

// Raises one web-resource request on `handlers` and logs the answer: "request" (uri, method, Range
// header), then "response" (status, reason, headers, body length, SHA-256 of the body in hex, the body
// itself when it is at most 4096 bytes), "response-unset" (it would go to the network),
// "request-unfiltered" (no filter matched: likewise), or "stream-failed".
void RaiseResourceRequest(
    ICoreWebView2* sender, const RequestFilters& filters,
    const std::vector<Microsoft::WRL::ComPtr<ICoreWebView2WebResourceRequestedEventHandler>>& handlers,
    const std::wstring& uri, const std::wstring& method, const std::wstring& range);

// Raises a navigation start on `handlers`; true when one of them cancelled it.
bool RaiseNavigationStarting(
    ICoreWebView2* sender,
    const std::vector<Microsoft::WRL::ComPtr<ICoreWebView2NavigationStartingEventHandler>>& handlers,
    const std::wstring& uri, bool userInitiated);

// Raises a new-window request on `handlers`; true when one of them handled it (or gave a window).
bool RaiseNewWindowRequested(
    ICoreWebView2* sender,
    const std::vector<Microsoft::WRL::ComPtr<ICoreWebView2NewWindowRequestedEventHandler>>& handlers,
    const std::wstring& uri, bool userInitiated);

} // namespace test_runtime
