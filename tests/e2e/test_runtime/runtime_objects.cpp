#include "test_runtime/runtime_objects.h"

#include "platform/com_adopt.h"
#include "test_runtime/dispatcher.h"
#include "test_runtime/page_script.h"
#include "test_runtime/runtime_log.h"
#include "test_runtime/runtime_mode.h"
#include "test_runtime/runtime_protocol.h"
#include "support/web_resource_objects.h"

#include <cstring>

using Microsoft::WRL::ComPtr;

namespace test_runtime {
namespace {

HWND g_parentWindow = nullptr;
TestWebView* g_currentWebView = nullptr;

// A string handed to the host, which frees it with CoTaskMemFree.
HRESULT CopyToTaskMemory(const std::wstring& text, LPWSTR* out) noexcept {
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
                Log("controller-completed", {HresultField(kFailedController)});
                completed->Invoke(kFailedController, nullptr);
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
    return CopyToTaskMemory(L"120.0.0.1 (test runtime)", version);
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

// Subscribes `handler` to one of the page's events and logs it under `tag`.
template <typename Handler>
HRESULT Subscribe(stand_in::HandlerList<Handler>& list, Handler* handler, EventRegistrationToken* token,
                  const char* tag) {
    const HRESULT added = list.Add(handler, token);
    if (SUCCEEDED(added)) {
        Log(tag, {NumberField(token->value)});
    }
    return added;
}

HRESULT STDMETHODCALLTYPE TestWebView::Navigate(LPCWSTR uri) {
    if (uri == nullptr) {
        return E_INVALIDARG;
    }
    Log("navigate", {EscapeField(uri)});
    // Like a real navigation, it starts later, after this call has returned.
    const ComPtr<TestWebView> self(this);
    const std::wstring target = uri;
    Post([self, target] {
        if (self->RunNavigation(target, true)) {
            g_currentWebView = self.Get();
            NotifyRuntimeEvent(RuntimeEvent::Navigated);
        }
    });
    return S_OK;
}

bool TestWebView::RunNavigation(const std::wstring& uri, bool userInitiated) {
    if (RaiseNavigationStarting(this, navigationHandlers_.Current(), uri, userInitiated)) {
        return false;
    }
    RaiseResourceRequest(this, filters_, resourceHandlers_.Current(), uri, L"GET", L"");
    return true;
}

HRESULT STDMETHODCALLTYPE TestWebView::add_NavigationStarting(
    ICoreWebView2NavigationStartingEventHandler* handler, EventRegistrationToken* token) {
    return Subscribe(navigationHandlers_, handler, token, "subscribe-navigation-starting");
}
HRESULT STDMETHODCALLTYPE TestWebView::remove_NavigationStarting(EventRegistrationToken token) {
    return navigationHandlers_.Remove(token);
}
HRESULT STDMETHODCALLTYPE TestWebView::add_NewWindowRequested(
    ICoreWebView2NewWindowRequestedEventHandler* handler, EventRegistrationToken* token) {
    return Subscribe(newWindowHandlers_, handler, token, "subscribe-new-window");
}
HRESULT STDMETHODCALLTYPE TestWebView::remove_NewWindowRequested(EventRegistrationToken token) {
    return newWindowHandlers_.Remove(token);
}
HRESULT STDMETHODCALLTYPE TestWebView::add_WebResourceRequested(
    ICoreWebView2WebResourceRequestedEventHandler* handler, EventRegistrationToken* token) {
    return Subscribe(resourceHandlers_, handler, token, "subscribe-resources");
}
HRESULT STDMETHODCALLTYPE TestWebView::remove_WebResourceRequested(EventRegistrationToken token) {
    return resourceHandlers_.Remove(token);
}

HRESULT STDMETHODCALLTYPE TestWebView::AddWebResourceRequestedFilter(LPCWSTR uri, int context) {
    if (uri == nullptr) {
        return E_INVALIDARG;
    }
    try {
        filters_.Add(uri, context);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    Log("filter", {EscapeField(uri), NumberField(context)});
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestWebView::RemoveWebResourceRequestedFilter(LPCWSTR uri, int context) {
    if (uri == nullptr) {
        return E_INVALIDARG;
    }
    return filters_.Remove(uri, context) ? S_OK : E_INVALIDARG;
}

void TestWebView::RequestFromPage(const std::wstring& uri, const std::wstring& range,
                                  const std::wstring& method) {
    const ComPtr<TestWebView> self(this);
    RaiseResourceRequest(this, filters_, resourceHandlers_.Current(), uri, method, range);
}

void TestWebView::RequestNewWindow(const std::wstring& uri, bool userInitiated) {
    const ComPtr<TestWebView> self(this);
    if (!RaiseNewWindowRequested(this, newWindowHandlers_.Current(), uri, userInitiated)) {
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
    return CopyToTaskMemory(L"about:blank", source);
}

HRESULT STDMETHODCALLTYPE TestWebMessageArgs::get_WebMessageAsJson(LPWSTR* json) {
    return CopyToTaskMemory(json_, json);
}

HRESULT STDMETHODCALLTYPE TestWebMessageArgs::TryGetWebMessageAsString(LPWSTR* text) {
    if (text != nullptr) {
        *text = nullptr;
    }
    return E_INVALIDARG; // the host never asks, so bare JSON strings are not unquoted here
}

} // namespace test_runtime
