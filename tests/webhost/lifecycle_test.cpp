// The start-up steps of the browser control and the answers to the page, against recording stubs.
#include "platform/com_adopt.h"
#include "support/com_stubs.h"
#include "webhost/browser/browser_references.h"
#include "webhost/browser/controller_completed_handler.h"
#include "webhost/browser/environment_completed_handler.h"
#include "webhost/browser/environment_failure.h"
#include "webhost/messages/web_message.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <utility>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

std::vector<std::string> g_calls;

struct ShownBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
};
std::vector<ShownBox> g_boxes;

// The host's side of the page's messages, recorded.
std::vector<std::string> g_answers;
HWND g_closedIn = nullptr;

void RecordReady() {
    g_answers.push_back("ready");
}
void RecordCloseDoc(HWND mainWindow, uint32_t generation) {
    g_answers.push_back("closeDoc " + std::to_string(generation));
    g_closedIn = mainWindow;
}
void RunOutOfMemory() {
    throw std::bad_alloc();
}
constexpr PageMessageActions kRecordingActions = {RecordReady, RecordCloseDoc};

int WINAPI RecordMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
    g_boxes.push_back({owner, text, caption, style});
    return IDOK;
}

class RecordingSettings final : public StubSettings {
public:
    HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL enabled) override {
        g_calls.push_back("put_IsStatusBarEnabled " + std::to_string(enabled));
        return S_OK;
    }
    ~RecordingSettings() override { g_calls.push_back("settings released"); }
};

class RecordingWebView final : public StubWebView {
public:
    bool settingsAvailable = true;
    std::wstring navigated;
    std::vector<std::wstring> posted;
    ComPtr<ICoreWebView2WebMessageReceivedEventHandler> subscriber;

    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override {
        g_calls.push_back("get_Settings");
        if (!settingsAvailable) {
            return E_NOINTERFACE;
        }
        *settings = new RecordingSettings();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override {
        g_calls.push_back("Navigate");
        navigated = uri;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(LPCWSTR uri, int context) override {
        g_calls.push_back("AddWebResourceRequestedFilter " + std::string(uri, uri + std::wcslen(uri)) + " " +
                          std::to_string(context));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* handler,
                                                       EventRegistrationToken*) override {
        g_calls.push_back(std::string("add_WebResourceRequested ") + (handler ? "1" : "0"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                                     EventRegistrationToken*) override {
        g_calls.push_back(std::string("add_NavigationStarting ") + (handler ? "1" : "0"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                                     EventRegistrationToken*) override {
        g_calls.push_back(std::string("add_NewWindowRequested ") + (handler ? "1" : "0"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                                     EventRegistrationToken* token) override {
        g_calls.push_back("add_WebMessageReceived");
        subscriber = handler;
        return token == nullptr ? E_POINTER : S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR json) override {
        posted.emplace_back(json);
        return S_OK;
    }
};

class RecordingController final : public StubController {
public:
    explicit RecordingController(ComPtr<ICoreWebView2> webView) : webView_(std::move(webView)) {}
    RECT bounds{};

    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** webView) override {
        g_calls.push_back("get_CoreWebView2");
        return webView_.CopyTo(webView);
    }
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT value) override {
        g_calls.push_back("put_Bounds");
        bounds = value;
        return S_OK;
    }

private:
    ComPtr<ICoreWebView2> webView_;
};

class RecordingEnvironment final : public StubEnvironment {
public:
    HWND parent = nullptr;
    ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> handler;

    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* completed) override {
        parent = parentWindow;
        handler = completed;
        return S_OK;
    }
};

class MessageArgs final : public ComObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    explicit MessageArgs(const wchar_t* json)
        : ComObject(IID_ICoreWebView2WebMessageReceivedEventArgs), json_(json ? json : L""),
          null_(json == nullptr) {}
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* json) override {
        *json = nullptr;
        if (null_) {
            return E_FAIL;
        }
        const size_t bytes = (json_.size() + 1) * sizeof(wchar_t);
        *json = static_cast<LPWSTR>(::CoTaskMemAlloc(bytes));
        std::memcpy(*json, json_.c_str(), bytes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR*) override { return E_INVALIDARG; }

private:
    std::wstring json_;
    bool null_;
};

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_boxes.clear();
        g_answers.clear();
        g_closedIn = nullptr;
        g_environmentFailureMessageBox = RecordMessageBox;
        window_ = ::CreateWindowExW(0, L"STATIC", L"Tallowmere", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr,
                                    nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        webView_ = AdoptComPtr(new RecordingWebView());
        controller_ = AdoptComPtr(new RecordingController(webView_));
    }
    void TearDown() override {
        g_webViewController.Reset();
        g_webView.Reset();
        g_environmentFailureMessageBox = ::MessageBoxW;
        if (window_ != nullptr) {
            ::DestroyWindow(window_);
        }
    }

    // Runs the controller step to the end and hands back the page's message handler.
    ComPtr<ICoreWebView2WebMessageReceivedEventHandler>
    StartPage(PageMessageActions actions = kRecordingActions) {
        const auto handler =
            MakeCallback<ControllerCompletedHandler>(window_, std::wstring(L"<p>page</p>"), actions);
        EXPECT_EQ(handler->Invoke(S_OK, controller_.Get()), S_OK);
        return webView_->subscriber;
    }

    void Receive(ICoreWebView2WebMessageReceivedEventHandler* handler, const wchar_t* json) {
        const auto args = AdoptComPtr(new MessageArgs(json));
        EXPECT_EQ(handler->Invoke(webView_.Get(), args.Get()), S_OK);
    }

    HWND window_ = nullptr;
    ComPtr<RecordingWebView> webView_;
    ComPtr<RecordingController> controller_;
};

// --- environment completed ---------------------------------------------------------------------------

TEST_F(Lifecycle, FailedEnvironmentShowsTheBoxOnceAndReturnsTheCodeReceived) {
    const auto handler =
        MakeCallback<EnvironmentCompletedHandler>(window_, std::wstring(L"page"), kRecordingActions);
    EXPECT_EQ(handler->Invoke(E_ABORT, nullptr), E_ABORT);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].owner, window_);
    EXPECT_EQ(g_boxes[0].caption, L"Tallowmere \u9519\u8BEF");
    EXPECT_EQ(g_boxes[0].text,
              L"WebView2 \u73AF\u5883\u521B\u5EFA\u5931\u8D25\u3002\n"
              L"\u8BF7\u786E\u8BA4\u5DF2\u5B89\u88C5 Edge WebView2 \u8FD0\u884C\u65F6\u3002");
    EXPECT_EQ(g_boxes[0].style, 0x10u);
}

TEST_F(Lifecycle, SuccessWithoutEnvironmentShowsTheBoxAndReturnsThatSuccessCode) {
    const auto handler =
        MakeCallback<EnvironmentCompletedHandler>(window_, std::wstring(L"page"), kRecordingActions);
    EXPECT_EQ(handler->Invoke(S_FALSE, nullptr), S_FALSE);
    EXPECT_EQ(g_boxes.size(), 1u);
}

TEST_F(Lifecycle, EnvironmentRequestsAControllerForTheMainWindowThatAloneKeepsIt) {
    const auto environment = AdoptComPtr(new RecordingEnvironment());
    const auto handler =
        MakeCallback<EnvironmentCompletedHandler>(window_, std::wstring(L"page"), kRecordingActions);
    EXPECT_EQ(handler->Invoke(S_OK, environment.Get()), S_OK);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(environment->parent, window_);
    ASSERT_TRUE(environment->handler);
    ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> asked;
    EXPECT_EQ(
        environment->handler->QueryInterface(IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                                             reinterpret_cast<void**>(asked.GetAddressOf())),
        S_OK);
    asked.Reset();
    // The environment holds the only reference to the controller handler, and only that handler holds
    // the environment (to answer the page's requests later).
    EXPECT_EQ(environment->handler->AddRef(), 2u);
    environment->handler->Release();
    EXPECT_EQ(environment->AddRef(), 3u);
    environment->Release();

    // The host's actions travel with the start-up to the page's messages.
    EXPECT_EQ(environment->handler->Invoke(S_OK, controller_.Get()), S_OK);
    ASSERT_TRUE(webView_->subscriber);
    Receive(webView_->subscriber.Get(), L"{\"action\":\"ready\"}");
    EXPECT_EQ(g_answers, std::vector<std::string>{"ready"});
}

TEST_F(Lifecycle, EnvironmentAfterTheWindowIsGoneDoesNothing) {
    const HWND gone = std::exchange(window_, nullptr);
    ::DestroyWindow(gone);
    const auto environment = AdoptComPtr(new RecordingEnvironment());
    const auto handler =
        MakeCallback<EnvironmentCompletedHandler>(gone, std::wstring(L"page"), kRecordingActions);
    EXPECT_EQ(handler->Invoke(E_FAIL, nullptr), E_FAIL);
    EXPECT_EQ(handler->Invoke(S_OK, environment.Get()), S_OK);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_FALSE(environment->handler);
}

// --- controller completed ----------------------------------------------------------------------------

TEST_F(Lifecycle, ControllerStepsRunInOrderAndFillTheClientArea) {
    const auto handler = StartPage();
    // Every handler of the page's origin is in place before the navigation that the first of them sees.
    EXPECT_EQ(g_calls,
              (std::vector<std::string>{"get_CoreWebView2", "put_Bounds", "get_Settings",
                                        "put_IsStatusBarEnabled 0", "settings released",
                                        "AddWebResourceRequestedFilter https://tallowmere.invalid/* 0",
                                        "add_WebResourceRequested 1", "add_NavigationStarting 1",
                                        "add_NewWindowRequested 1", "Navigate", "add_WebMessageReceived"}));
    EXPECT_EQ(g_webViewController.Get(), controller_.Get());
    EXPECT_EQ(g_webView.Get(), webView_.Get());
    RECT client{};
    ::GetClientRect(window_, &client);
    EXPECT_TRUE(::EqualRect(&controller_->bounds, &client));
    EXPECT_GT(client.right, 0);
    EXPECT_EQ(webView_->navigated, L"https://tallowmere.invalid/");
    ASSERT_TRUE(handler);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(Lifecycle, FailedControllerIsSilentAndHoldsNothing) {
    const auto handler =
        MakeCallback<ControllerCompletedHandler>(window_, std::wstring(L"page"), kRecordingActions);
    EXPECT_EQ(handler->Invoke(E_UNEXPECTED, controller_.Get()), E_UNEXPECTED);
    EXPECT_EQ(handler->Invoke(S_FALSE, nullptr), S_FALSE);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_FALSE(g_webViewController);
}

TEST_F(Lifecycle, ControllerWithoutWebViewIsLetGo) {
    const auto controller = AdoptComPtr(new RecordingController(nullptr));
    const auto handler =
        MakeCallback<ControllerCompletedHandler>(window_, std::wstring(L"page"), kRecordingActions);
    EXPECT_TRUE(FAILED(handler->Invoke(S_OK, controller.Get())));
    EXPECT_EQ(g_calls, std::vector<std::string>{"get_CoreWebView2"});
    EXPECT_FALSE(g_webViewController);
    EXPECT_FALSE(g_webView);
    EXPECT_EQ(controller->AddRef(), 2u) << "the controller's reference was not given back";
    controller->Release();
}

TEST_F(Lifecycle, WithoutSettingsThePageStillLoads) {
    webView_->settingsAvailable = false;
    StartPage();
    ASSERT_EQ(g_calls.size(), 9u);
    EXPECT_EQ(g_calls[2], "get_Settings");
    EXPECT_EQ(g_calls[3].substr(0, 29), "AddWebResourceRequestedFilter");
}

TEST_F(Lifecycle, ControllerAfterTheWindowIsGoneIsNotHeld) {
    ::DestroyWindow(window_);
    const auto handler =
        MakeCallback<ControllerCompletedHandler>(window_, std::wstring(L"page"), kRecordingActions);
    window_ = nullptr;
    handler->Invoke(S_OK, controller_.Get());
    EXPECT_TRUE(g_calls.empty());
    EXPECT_FALSE(g_webViewController);
}

// --- the page's messages -----------------------------------------------------------------------------

TEST_F(Lifecycle, EachReadyRunsTheReadyAction) {
    const auto handler = StartPage();
    Receive(handler.Get(), L"{\"action\":\"ready\"}");
    Receive(handler.Get(), L"{\"action\":\"ready\"}");
    EXPECT_EQ(g_answers, (std::vector<std::string>{"ready", "ready"}));
    EXPECT_TRUE(webView_->posted.empty());
}

TEST_F(Lifecycle, CloseDocRunsItsActionForTheMainWindowAndTheDeliveryItNames) {
    const auto handler = StartPage();
    Receive(handler.Get(), L"{\"action\":\"closeDoc\",\"generation\":3}");
    EXPECT_EQ(g_answers, std::vector<std::string>{"closeDoc 3"});
    EXPECT_EQ(g_closedIn, window_);
    EXPECT_TRUE(webView_->posted.empty());
}

TEST_F(Lifecycle, UnreadableAndUnknownMessagesAreIgnored) {
    const auto handler = StartPage();
    for (const wchar_t* json : {static_cast<const wchar_t*>(nullptr), L"", L"\"read\"",
                                L"{\"action\":\"Ready\"}", L"{\"action\":\"closedoc\"}", L"{}"}) {
        Receive(handler.Get(), json);
    }
    EXPECT_TRUE(g_answers.empty());
    EXPECT_TRUE(webView_->posted.empty());
}

TEST_F(Lifecycle, AMessageWithBothWordsIsReadyOnly) {
    const auto handler = StartPage();
    Receive(handler.Get(), L"{\"action\":\"closeDoc\",\"state\":\"ready\"}");
    EXPECT_EQ(g_answers, std::vector<std::string>{"ready"});
}

TEST_F(Lifecycle, AnActionThatRunsOutOfMemoryLosesOnlyItsMessage) {
    const auto handler = StartPage({RunOutOfMemory, RecordCloseDoc});
    Receive(handler.Get(), L"{\"action\":\"ready\"}");
    Receive(handler.Get(), L"{\"action\":\"closeDoc\"}");
    EXPECT_EQ(g_answers, std::vector<std::string>{"closeDoc 0"});
}

} // namespace
