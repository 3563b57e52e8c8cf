#include "test_runtime/runtime_objects.h"

#include "platform/com_adopt.h"
#include "test_runtime/dispatcher.h"
#include "test_runtime/page_script.h"
#include "test_runtime/runtime_log.h"
#include "test_runtime/runtime_mode.h"
#include "test_runtime/runtime_protocol.h"
#include "test_runtime/web_resources.h"
#include "support/web_resource_objects.h"

#include <cstring>

using Microsoft::WRL::ComPtr;

namespace test_runtime {
namespace {

HWND g_parentWindow = nullptr;
TestWebView* g_currentWebView = nullptr;
size_t g_pendingRequests = 0;

std::wstring WindowClassName(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

BOOL CALLBACK PickMainWindow(HWND window, LPARAM found) noexcept {
    if (::IsWindowVisible(window) && WindowClassName(window) != L"#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND MainWindow() noexcept {
    if (g_parentWindow != nullptr) {
        return g_parentWindow;
    }
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), PickMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// --- environment -----------------------------------------------------------------------------------

TestEnvironment::TestEnvironment() noexcept = default;
TestEnvironment::~TestEnvironment() {
    Log("destroyed", {"environment"});
}

HRESULT STDMETHODCALLTYPE TestEnvironment::CreateCoreWebView2Controller(
    HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
    try {
        Log("create-controller",
            {EscapeField(WindowClassName(parentWindow)), NumberField(handler != nullptr)});
        if (handler == nullptr) {
            return E_INVALIDARG;
        }
        ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> completed(handler);
        ComPtr<TestEnvironment> self(this);
        Post([self, completed, parentWindow] {
            if (Mode().failController) {
                const long code =
                    Mode().failedControllerCode != 0 ? Mode().failedControllerCode : kFailedController;
                Log("controller-completed", {HresultField(code)});
                completed->Invoke(code, nullptr);
            } else {
                g_parentWindow = parentWindow;
                ComPtr<TestWebView> webView;
                if (!Mode().noWebView) {
                    webView = AdoptComPtr(new TestWebView());
                }
                const ComPtr<TestController> controller =
                    AdoptComPtr(new TestController(parentWindow, webView));
                Log("controller-completed", {HresultField(S_OK)});
                completed->Invoke(S_OK, controller.Get());
            }
            NotifyRuntimeEvent(RuntimeEvent::ControllerCompleted);
        });
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDMETHODCALLTYPE TestEnvironment::get_BrowserVersionString(LPWSTR* version) {
    return stand_in::CopyOut(L"120.0.0.1 (test runtime)", version);
}

HRESULT STDMETHODCALLTYPE
TestEnvironment::CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                           LPCWSTR headers, ICoreWebView2WebResourceResponse** response) {
    return stand_in::MakeResponse(content, statusCode, reasonPhrase, headers, response);
}

// --- controller ------------------------------------------------------------------------------------

TestController::TestController(HWND parentWindow, ComPtr<TestWebView> webView) noexcept
    : parentWindow_(parentWindow), webView_(std::move(webView)) {
}

// Whether the main window still existed tells a release in its WM_DESTROY (or earlier) from one at
// process exit.
TestController::~TestController() {
    Log("destroyed", {"controller", NumberField(::IsWindow(parentWindow_) != FALSE)});
}

HRESULT STDMETHODCALLTYPE TestController::get_Bounds(RECT* bounds) {
    if (bounds == nullptr) {
        return E_POINTER;
    }
    *bounds = bounds_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestController::put_Bounds(RECT bounds) {
    bounds_ = bounds;
    // The parent's client area at this moment, for the test to compare with.
    RECT client{};
    ::GetClientRect(parentWindow_, &client);
    Log("bounds", {RectFields(bounds), RectFields(client)});
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestController::get_ParentWindow(HWND* parentWindow) {
    if (parentWindow == nullptr) {
        return E_POINTER;
    }
    *parentWindow = parentWindow_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestController::get_CoreWebView2(ICoreWebView2** coreWebView2) {
    if (coreWebView2 == nullptr) {
        return E_POINTER;
    }
    *coreWebView2 = webView_.Get();
    if (*coreWebView2 != nullptr) {
        (*coreWebView2)->AddRef();
    }
    Log("get-webview", {NumberField(webView_ != nullptr)});
    return S_OK;
}

// --- web view --------------------------------------------------------------------------------------

TestWebView::TestWebView() noexcept = default;

TestWebView::~TestWebView() {
    if (g_currentWebView == this) {
        g_currentWebView = nullptr;
    }
    Log("destroyed", {"webview", NumberField(::IsWindow(g_parentWindow) != FALSE)});
}

TestWebView* TestWebView::Current() noexcept {
    return g_currentWebView;
}

size_t TestWebView::PendingRequests() noexcept {
    return g_pendingRequests;
}

HRESULT STDMETHODCALLTYPE TestWebView::get_Settings(ICoreWebView2Settings** settings) {
    if (settings == nullptr) {
        return E_POINTER;
    }
    *settings = new (std::nothrow) TestSettings();
    return *settings == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT STDMETHODCALLTYPE TestWebView::NavigateToString(LPCWSTR htmlContent) {
    if (htmlContent == nullptr) {
        return E_INVALIDARG;
    }
    Log("navigate-string", {EscapeField(htmlContent)});
    g_currentWebView = this;
    // The page "loads" later, like a real navigation.
    Post([] { NotifyRuntimeEvent(RuntimeEvent::Navigated); });
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestWebView::PostWebMessageAsJson(LPCWSTR webMessageAsJson) {
    if (webMessageAsJson == nullptr) {
        return E_INVALIDARG;
    }
    Log("post", {EscapeField(webMessageAsJson)});
    const std::wstring_view json(webMessageAsJson);
    constexpr std::wstring_view kGeneration = L"\"generation\":";
    const size_t at = json.find(kGeneration);
    if (json.find(L"\"openFile\"") != std::wstring_view::npos && at != std::wstring_view::npos) {
        const size_t start = at + kGeneration.size();
        shownGeneration_ =
            std::wstring(json.substr(start, json.find_first_not_of(L"0123456789", start) - start));
    }
    NotifyRuntimeEvent(RuntimeEvent::Posted);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestWebView::add_WebMessageReceived(
    ICoreWebView2WebMessageReceivedEventHandler* handler, EventRegistrationToken* token) {
    if (handler == nullptr || token == nullptr) {
        return E_INVALIDARG;
    }
    try {
        subscriptions_.push_back(
            Subscription{nextToken_, ComPtr<ICoreWebView2WebMessageReceivedEventHandler>(handler)});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    token->value = nextToken_++;
    Log("subscribe", {NumberField(token->value)});
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestWebView::remove_WebMessageReceived(EventRegistrationToken token) {
    std::erase_if(subscriptions_, [&](const Subscription& s) { return s.token == token.value; });
    Log("unsubscribe", {NumberField(token.value)});
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestWebView::Navigate(LPCWSTR uri) {
    if (uri == nullptr) {
        return E_INVALIDARG;
    }
    Log("navigate", {EscapeField(uri)});
    // Like a real navigation, it starts later, after this call has returned.
    const ComPtr<TestWebView> self(this);
    const std::wstring target = uri;
    pageUri_ = target;
    Post([self, target] {
        if (self->RunNavigation(target, true)) {
            g_currentWebView = self.Get();
            NotifyRuntimeEvent(RuntimeEvent::Navigated);
        }
    });
    return S_OK;
}

bool TestWebView::RunNavigation(const std::wstring& uri, bool userInitiated) {
    Log("navigation-starting", {EscapeField(uri), NumberField(userInitiated)});
    const bool cancelled = RaiseNavigationStarting(uri, userInitiated);
    Log("navigation-cancel", {NumberField(cancelled)});
    if (cancelled) {
        return false;
    }
    LogResourceRequest(uri, L"GET", L"");
    return true;
}

void TestWebView::LogResourceRequest(const std::wstring& uri, const std::wstring& method,
                                     const std::wstring& range) {
    Log("request", {EscapeField(uri), EscapeField(method), EscapeField(range)});
    ++g_pendingRequests;
    RaiseResourceRequest(uri, method, range,
                         [uri](ResourceOutcome outcome, ComPtr<stand_in::StandInResponse> response) {
                             // Later: whatever the program still holds of the request once it is
                             // over shows as a leak.
                             Post([uri, outcome, response]() mutable {
                                 switch (outcome) {
                                 case ResourceOutcome::Unfiltered:
                                     Log("request-unfiltered", {EscapeField(uri)});
                                     break;
                                 case ResourceOutcome::Unanswered:
                                     Log("response-unset", {EscapeField(uri)});
                                     break;
                                 case ResourceOutcome::Answered:
                                     LogResponse(std::move(response), uri);
                                     break;
                                 }
                                 --g_pendingRequests;
                                 NotifyRuntimeEvent(RuntimeEvent::Answered);
                             });
                         });
}

void TestWebView::SubscriptionAdded(const char* event, INT64 token) {
    Log(std::string("subscribe-") + event, {NumberField(token)});
}

void TestWebView::FilterAdded(const std::wstring& pattern, int context) {
    Log("filter", {EscapeField(pattern), NumberField(context)});
}

void TestWebView::RequestFromPage(const std::wstring& uri, const std::wstring& range,
                                  const std::wstring& method) {
    const ComPtr<TestWebView> self(this);
    LogResourceRequest(uri, method, range);
}

void TestWebView::RequestNewWindow(const std::wstring& uri, bool userInitiated) {
    Log("new-window", {EscapeField(uri), NumberField(userInitiated)});
    const auto args = RaiseNewWindowRequested(uri, userInitiated);
    Log("new-window-handled", {NumberField(args->handled != FALSE), NumberField(args->newWindow != nullptr)});
    if (args->handled == FALSE && args->newWindow == nullptr) {
        // Unhandled, the real runtime opens the address in a window of its own.
        Log("popup-opened", {EscapeField(uri)});
    }
}

void TestWebView::NavigateFromPage(const std::wstring& uri, bool userInitiated) {
    const ComPtr<TestWebView> self(this);
    if (RunNavigation(uri, userInitiated)) {
        Log("page-left", {EscapeField(uri)});
    }
}

void TestWebView::StartDownload(const std::wstring& uri, const std::wstring& resultFilePath) {
    Log("download", {EscapeField(uri), EscapeField(resultFilePath)});
    const ComPtr<TestWebView> self(this);
    const auto args = RaiseDownloadStarting(uri, resultFilePath);
    Log("download-result", {NumberField(args->cancel != FALSE), NumberField(args->handled != FALSE),
                            EscapeField(args->resultFilePath)});
    if (args->cancel == FALSE) {
        // The real runtime would now fetch the address and save it there.
        Log("download-saved", {EscapeField(args->resultFilePath)});
    }
}

void TestWebView::ShowContextMenu(const std::vector<std::wstring>& names) {
    const ComPtr<TestWebView> self(this);
    std::vector<std::string> fields;
    for (const std::wstring& name : RaiseContextMenuRequested(names)) {
        fields.push_back(EscapeField(name));
    }
    Log("context-menu-shown", fields);
}

void TestWebView::ReloadPage() {
    const ComPtr<TestWebView> self(this);
    Log("navigation-starting", {EscapeField(pageUri_), NumberField(1)});
    const bool cancelled = RaiseNavigationStarting(pageUri_, true, kNavigationKindReload);
    Log("navigation-cancel", {NumberField(cancelled)});
    if (!cancelled) {
        LogResourceRequest(pageUri_, L"GET", L"");
        Log("page-reloaded", {EscapeField(pageUri_)});
    }
}

size_t TestWebView::PostFromPage(const std::wstring& json) {
    // A handler may change the subscriptions while it runs; call the ones present now.
    const std::vector<Subscription> subscriptions = subscriptions_;
    const ComPtr<TestWebView> self(this);
    for (const Subscription& subscription : subscriptions) {
        const ComPtr<TestWebMessageArgs> args = AdoptComPtr(new TestWebMessageArgs(json));
        subscription.handler->Invoke(this, args.Get());
    }
    return subscriptions.size();
}

// --- settings --------------------------------------------------------------------------------------

TestSettings::TestSettings() noexcept = default;
TestSettings::~TestSettings() {
    Log("destroyed", {"settings"});
}

HRESULT STDMETHODCALLTYPE TestSettings::get_IsStatusBarEnabled(BOOL* enabled) {
    if (enabled == nullptr) {
        return E_POINTER;
    }
    *enabled = statusBarEnabled_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSettings::put_IsStatusBarEnabled(BOOL enabled) {
    statusBarEnabled_ = enabled;
    Log("status-bar", {NumberField(enabled)});
    return S_OK;
}

// --- web message arguments -------------------------------------------------------------------------

TestWebMessageArgs::TestWebMessageArgs(std::wstring json) noexcept
    : ComObject(IID_ICoreWebView2WebMessageReceivedEventArgs), json_(std::move(json)) {
}

HRESULT STDMETHODCALLTYPE TestWebMessageArgs::get_Source(LPWSTR* source) {
    return stand_in::CopyOut(L"about:blank", source);
}

HRESULT STDMETHODCALLTYPE TestWebMessageArgs::get_WebMessageAsJson(LPWSTR* json) {
    return stand_in::CopyOut(json_, json);
}

HRESULT STDMETHODCALLTYPE TestWebMessageArgs::TryGetWebMessageAsString(LPWSTR* text) {
    if (text != nullptr) {
        *text = nullptr;
    }
    return E_INVALIDARG; // the host never asks, so bare JSON strings are not unquoted here
}

} // namespace test_runtime
