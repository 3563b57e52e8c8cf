// The test runtime's browser objects: environment, controller, web view, settings and web-message
// arguments, laid out like the real ones (they derive from the stub implementations of the browser
// interfaces) and recording every call the host makes on them.
#pragma once

#include "support/com_stubs.h"
#include "support/web_resource_objects.h"

#include <wrl/client.h>

#include <string>
#include <vector>

namespace test_runtime {

class TestEnvironment final : public StubEnvironment {
public:
    TestEnvironment() noexcept;
    // Completes later, through the caller's message loop, with a controller whose control is a child
    // of `parentWindow` (or with a failure in the fail-controller mode).
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* version) override;
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int statusCode,
                                                        LPCWSTR reasonPhrase, LPCWSTR headers,
                                                        ICoreWebView2WebResourceResponse** response) override;

private:
    ~TestEnvironment() override;
};

class TestWebView final : public stand_in::StandInWebView {
public:
    TestWebView() noexcept;
    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override;
    HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR htmlContent) override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR webMessageAsJson) override;
    HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                                     EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override;
    // What the page does, as the real runtime reports it: a request for a resource (Range header
    // optional), a link that asks for a new window, and a navigation of the page itself (when the
    // program lets it start, the page is left: "page-left").
    void RequestFromPage(const std::wstring& uri, const std::wstring& range, const std::wstring& method);
    void RequestNewWindow(const std::wstring& uri, bool userInitiated);
    void NavigateFromPage(const std::wstring& uri, bool userInitiated);
    // A download the page starts (an attachment card, `<a download>`): its address and the path the
    // runtime would save to; when the program leaves it running, the runtime saves it ("download-saved").
    void StartDownload(const std::wstring& uri, const std::wstring& resultFilePath);
    // The user opens the context menu, which offers `names` ("-" a separator); logs what it shows.
    void ShowContextMenu(const std::vector<std::wstring>& names);
    // The user reloads (F5, Ctrl+R, the menu's Reload): a reload navigation of the loaded page; let
    // through, the page loads anew ("page-reloaded").
    void ReloadPage();

    // The page posts `json`: every subscribed handler gets it, as the real runtime delivers a message of
    // window.chrome.webview.postMessage. Returns how many handlers were called.
    size_t PostFromPage(const std::wstring& json);

    // The "generation" of the last openFile the host posted (the delivery the page shows), as written;
    // empty before the first.
    const std::wstring& ShownGeneration() const noexcept { return shownGeneration_; }

    // The web view whose page is loaded (the last one navigated and still alive), or null.
    static TestWebView* Current() noexcept;

    // How many resource requests are still waiting for their answer (a deferral not yet completed,
    // or an answer not yet logged).
    static size_t PendingRequests() noexcept;

private:
    ~TestWebView() override;

    std::wstring shownGeneration_;

    struct Subscription {
        long long token;
        Microsoft::WRL::ComPtr<ICoreWebView2WebMessageReceivedEventHandler> handler;
    };
    // A navigation the runtime lets start: the document is requested through the filters; false when a
    // handler cancelled it.
    bool RunNavigation(const std::wstring& uri, bool userInitiated);
    // Raises a resource request and logs the answer later, through the message loop, once the request
    // has settled (see README.md).
    void LogResourceRequest(const std::wstring& uri, const std::wstring& method, const std::wstring& range);
    void SubscriptionAdded(const char* event, INT64 token) override;
    void FilterAdded(const std::wstring& pattern, int context) override;

    std::vector<Subscription> subscriptions_;
    long long nextToken_ = 1;
    std::wstring pageUri_; // where the program navigated the page
};

class TestController final : public StubController {
public:
    TestController(HWND parentWindow, Microsoft::WRL::ComPtr<TestWebView> webView) noexcept;
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) override;
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override;
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parentWindow) override;
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** coreWebView2) override;

private:
    ~TestController() override;

    const HWND parentWindow_;
    RECT bounds_{};
    const Microsoft::WRL::ComPtr<TestWebView> webView_;
};

class TestSettings final : public StubSettings {
public:
    TestSettings() noexcept;
    HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL* enabled) override;
    HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL enabled) override;

private:
    ~TestSettings() override;

    BOOL statusBarEnabled_ = TRUE;
};

class TestWebMessageArgs final : public ComObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    explicit TestWebMessageArgs(std::wstring json) noexcept;
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* source) override;
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* json) override;
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* text) override;

private:
    const std::wstring json_;
};

// The window the host gave as the controller's parent; before that, the first visible top-level
// window of the calling thread that is not a dialog (so a script can act on it in every mode).
HWND MainWindow() noexcept;

} // namespace test_runtime
