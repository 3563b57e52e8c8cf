// Drives the built client library the way the program does, against a fake driver on a loopback socket:
// completions arrive through the message loop, records reach the driver in order, page messages reach the
// program's handler on its own thread, and the driver's commands land on the program's window.
#include "driver_connection.h"
#include "wire_format.h"
#include "support/com_stubs.h"
#include "platform/com_adopt.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <wrl/client.h>
#include <ws2tcpip.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

using CreateEnvironmentFunction = HRESULT(STDMETHODCALLTYPE*)(
    bool, int, PCWSTR, IUnknown*, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*);

constexpr DWORD kWaitMs = 10000;

// Pumps this thread's messages until `done` holds or the wait runs out.
bool PumpUntil(const std::function<bool()>& done) {
    const ULONGLONG deadline = ::GetTickCount64() + kWaitMs;
    while (!done()) {
        if (::GetTickCount64() > deadline) {
            return false;
        }
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::Sleep(5);
    }
    return true;
}

// Pumps for a fixed time: lets anything wrongly queued show itself.
void PumpFor(DWORD ms) {
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    PumpUntil([&] { return ::GetTickCount64() > deadline; });
}

class FakeDriver {
public:
    FakeDriver() {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listener_.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        ::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        ::listen(listener_.get(), 1);
        int size = sizeof(address);
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ::ntohs(address.sin_port);
    }
    ~FakeDriver() {
        client_.reset();
        listener_.reset();
        ::WSACleanup();
    }

    unsigned short port() const { return port_; }

    bool Accept() {
        client_.reset(::accept(listener_.get(), nullptr, nullptr));
        const DWORD timeout = kWaitMs;
        ::setsockopt(client_.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                     sizeof(timeout));
        return client_.valid();
    }

    // The next record, or nothing once the library has closed its end.
    std::optional<std::string> Read() {
        unsigned char header[kFrameHeaderBytes]{};
        if (!ReceiveExactly(reinterpret_cast<char*>(header), sizeof(header))) {
            return std::nullopt;
        }
        std::string body(FrameLength(header), '\0');
        if (!ReceiveExactly(body.data(), body.size())) {
            return std::nullopt;
        }
        return body;
    }

    void Send(const std::string& body) {
        const std::string frame = FrameHeader(static_cast<uint32_t>(body.size())) + body;
        ::send(client_.get(), frame.data(), static_cast<int>(frame.size()), 0);
    }

private:
    bool ReceiveExactly(char* buffer, size_t bytes) {
        size_t received = 0;
        while (received < bytes) {
            const int result =
                ::recv(client_.get(), buffer + received, static_cast<int>(bytes - received), 0);
            if (result <= 0) {
                return false;
            }
            received += static_cast<size_t>(result);
        }
        return true;
    }

    UniqueSocket listener_;
    UniqueSocket client_;
    unsigned short port_ = 0;
};

template <typename Handler, typename Result> class CompletionRecorder : public ComObject<Handler> {
public:
    explicit CompletionRecorder(const IID& iid) : ComObject<Handler>(iid) {}
    HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, Result* result) override {
        errorCode_ = errorCode;
        result_ = result;
        threadId_ = ::GetCurrentThreadId();
        ++calls_;
        return S_OK;
    }
    HRESULT errorCode_ = E_FAIL;
    ComPtr<Result> result_;
    DWORD threadId_ = 0;
    int calls_ = 0;
};
using EnvironmentRecorder =
    CompletionRecorder<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, ICoreWebView2Environment>;
using ControllerRecorder =
    CompletionRecorder<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, ICoreWebView2Controller>;

class MessageRecorder : public ComObject<ICoreWebView2WebMessageReceivedEventHandler> {
public:
    MessageRecorder() : ComObject(IID_ICoreWebView2WebMessageReceivedEventHandler) {}
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*,
                                     ICoreWebView2WebMessageReceivedEventArgs* args) override {
        LPWSTR json = nullptr;
        args->get_WebMessageAsJson(&json);
        const UniqueCoTaskString owned(json);
        messages_.push_back(json != nullptr ? json : L"<null>");
        threadIds_.push_back(::GetCurrentThreadId());
        return S_OK;
    }
    std::vector<std::wstring> messages_;
    std::vector<DWORD> threadIds_;
};

// The program's main window stand-in: remembers dropped paths and close requests.
struct ParentWindow {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DROPFILES) {
            const auto drop = reinterpret_cast<HDROP>(wParam);
            wchar_t path[MAX_PATH]{};
            ::DragQueryFileW(drop, 0, path, MAX_PATH);
            dropped.push_back(path);
            droppedCount.push_back(::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0));
            ::DragFinish(drop);
            return 0;
        }
        if (message == WM_CLOSE) {
            ++closeRequests;
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    static inline std::vector<std::wstring> dropped;
    static inline std::vector<UINT> droppedCount;
    static inline int closeRequests = 0;
};

HWND CreateParentWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ParentWindow::Proc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"DevRuntimeTestParent";
    ::RegisterClassW(&windowClass);
    return ::CreateWindowExW(0, L"DevRuntimeTestParent", L"parent", WS_OVERLAPPEDWINDOW, 100, 100, 640, 480,
                             nullptr, nullptr, windowClass.hInstance, nullptr);
}

class ClientLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        module_.reset(::LoadLibraryW(TALLOWMERE_DEVRUNTIME_DLL_PATH));
        ASSERT_TRUE(module_) << "cannot load the development runtime";
        // Through void* to say that the export's real type is known to be this one.
        create_ = reinterpret_cast<CreateEnvironmentFunction>(reinterpret_cast<void*>(
            ::GetProcAddress(module_.get(), "CreateWebViewEnvironmentWithOptionsInternal")));
        ASSERT_NE(create_, nullptr);
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"TALLOWMERE_DEVRUNTIME_PORT", nullptr); }

    void UsePort(unsigned short port) {
        ::SetEnvironmentVariableW(L"TALLOWMERE_DEVRUNTIME_PORT", std::to_wstring(port).c_str());
    }

    UniqueModule module_;
    CreateEnvironmentFunction create_ = nullptr;
};

TEST_F(ClientLibrary, FailsAtOnceWithoutAUsableDriver) {
    struct Case {
        const wchar_t* port; // null: variable unset
    };
    // A port that was just given up: nothing listens there any more, so the connection is refused.
    const std::wstring closedPort = std::to_wstring(FakeDriver().port());
    const Case cases[] = {{nullptr}, {L""}, {L"0"}, {L"65536"}, {L"80a"}, {closedPort.c_str()}};
    for (const Case& c : cases) {
        ::SetEnvironmentVariableW(L"TALLOWMERE_DEVRUNTIME_PORT", c.port);
        ComPtr<EnvironmentRecorder> handler;
        handler = AdoptComPtr(
            new EnvironmentRecorder(IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler));
        const HRESULT hr = create_(true, 0, L"C:\\data", nullptr, handler.Get());
        EXPECT_TRUE(FAILED(hr)) << "port " << (c.port ? ToUtf8(c.port) : "unset");
        PumpFor(200);
        EXPECT_EQ(handler->calls_, 0) << "a failed request must not complete later";
        EXPECT_EQ(handler->references(), 1u) << "a failed request must not keep the handler";
    }
}

TEST_F(ClientLibrary, RefusesANullHandler) {
    FakeDriver driver;
    UsePort(driver.port());
    EXPECT_EQ(create_(true, 0, nullptr, nullptr, nullptr), E_POINTER);
}

TEST_F(ClientLibrary, DrivesOneViewFromCreationToClose) {
    FakeDriver driver;
    UsePort(driver.port());
    const HWND parent = CreateParentWindow();
    ASSERT_NE(parent, nullptr);

    ComPtr<EnvironmentRecorder> environmentDone;
    environmentDone =
        AdoptComPtr(new EnvironmentRecorder(IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler));
    ASSERT_EQ(create_(true, 0, L"C:\\users\\me\\Tallowmere\\WebView2", nullptr, environmentDone.Get()), S_OK);
    EXPECT_EQ(environmentDone->calls_, 0) << "the completion must wait for the message loop";
    ASSERT_TRUE(driver.Accept());
    EXPECT_EQ(driver.Read().value_or(""),
              "{\"type\":\"hello\",\"processId\":" + std::to_string(::GetCurrentProcessId()) +
                  ",\"runtimeKind\":0,\"userDataFolder\":"
                  "\"C:\\\\users\\\\me\\\\Tallowmere\\\\WebView2\"}");

    ASSERT_TRUE(PumpUntil([&] { return environmentDone->calls_ == 1; }));
    EXPECT_EQ(environmentDone->errorCode_, S_OK);
    EXPECT_EQ(environmentDone->threadId_, ::GetCurrentThreadId());
    ComPtr<ICoreWebView2Environment> environment = environmentDone->result_;
    ASSERT_TRUE(environment);

    ComPtr<ControllerRecorder> controllerDone;
    controllerDone =
        AdoptComPtr(new ControllerRecorder(IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler));
    ASSERT_EQ(environment->CreateCoreWebView2Controller(parent, controllerDone.Get()), S_OK);
    EXPECT_EQ(controllerDone->calls_, 0);
    EXPECT_NE(driver.Read().value_or("").find("\"type\":\"controller\""), std::string::npos);
    ASSERT_TRUE(PumpUntil([&] { return controllerDone->calls_ == 1; }));
    EXPECT_EQ(controllerDone->threadId_, ::GetCurrentThreadId());
    ComPtr<ICoreWebView2Controller> controller = controllerDone->result_;
    ASSERT_TRUE(controller);
    controllerDone.Reset();
    EXPECT_EQ(environment->CreateCoreWebView2Controller(parent, controllerDone.Get()), E_POINTER);

    // The host's start-up calls, in its order.
    ComPtr<ICoreWebView2> webView;
    ASSERT_EQ(controller->get_CoreWebView2(&webView), S_OK);
    ASSERT_EQ(controller->put_Bounds(RECT{0, 0, 1264, 761}), S_OK);
    const std::string bounds = driver.Read().value_or("");
    EXPECT_EQ(bounds.rfind("{\"type\":\"bounds\",\"left\":0,\"top\":0,\"right\":1264,\"bottom\":761,", 0), 0u)
        << bounds;
    ComPtr<ICoreWebView2Settings> settings;
    ASSERT_EQ(webView->get_Settings(&settings), S_OK);
    ASSERT_EQ(settings->put_IsStatusBarEnabled(FALSE), S_OK);
    EXPECT_EQ(driver.Read().value_or(""), "{\"type\":\"statusBar\",\"enabled\":false}");
    ASSERT_EQ(webView->NavigateToString(L"<h1>caf\u00e9</h1>"), S_OK);
    EXPECT_EQ(driver.Read().value_or(""), "{\"type\":\"navigate\",\"html\":\"<h1>caf\xc3\xa9</h1>\"}");
    ComPtr<MessageRecorder> messages;
    messages = AdoptComPtr(new MessageRecorder());
    EventRegistrationToken token{};
    ASSERT_EQ(webView->add_WebMessageReceived(messages.Get(), &token), S_OK);
    EXPECT_EQ(driver.Read().value_or(""), "{\"type\":\"subscribed\",\"token\":1}");

    // A page message: delivered on this thread, through the loop, as the page's JSON text.
    driver.Send("webMessage\n{\"action\":\"ready\",\"note\":\"\xe4\xb8\xad\\n\"}");
    ASSERT_TRUE(PumpUntil([&] { return messages->messages_.size() == 1; }));
    EXPECT_EQ(messages->messages_[0], L"{\"action\":\"ready\",\"note\":\"\u4e2d\\n\"}");
    EXPECT_EQ(messages->threadIds_[0], ::GetCurrentThreadId());
    EXPECT_EQ(driver.Read().value_or(""), "{\"type\":\"delivered\",\"json\":\"{\\\"action\\\":\\\"ready\\\","
                                          "\\\"note\\\":\\\"\xe4\xb8\xad\\\\n\\\"}\",\"result\":0,"
                                          "\"uiThread\":true}");

    // Host -> page message.
    ASSERT_EQ(
        webView->PostWebMessageAsJson(L"{\"action\":\"openFile\",\"name\":\"a.md\",\"content\":\"# A\"}"),
        S_OK);
    EXPECT_EQ(driver.Read().value_or(""),
              "{\"type\":\"postJson\",\"json\":\"{\\\"action\\\":\\\"openFile\\\","
              "\\\"name\\\":\\\"a.md\\\",\\\"content\\\":\\\"# A\\\"}\"}");

    // A scripted drop is a real WM_DROPFILES with exactly the one path.
    driver.Send("drop\nZ:\\tmp\\second doc \xe4\xb8\xad.md");
    ASSERT_TRUE(PumpUntil([&] { return ParentWindow::dropped.size() == 1; }));
    EXPECT_EQ(ParentWindow::dropped[0], L"Z:\\tmp\\second doc \u4e2d.md");
    EXPECT_EQ(ParentWindow::droppedCount[0], 1u);
    EXPECT_NE(driver.Read().value_or("").find("\"type\":\"dropPosted\""), std::string::npos);

    driver.Send("closeWindow\n");
    ASSERT_TRUE(PumpUntil([&] { return ParentWindow::closeRequests == 1; }));

    // Unsubscribed handlers hear nothing more.
    ASSERT_EQ(webView->remove_WebMessageReceived(token), S_OK);
    driver.Send("webMessage\n\"ready\"");
    PumpFor(200);
    EXPECT_EQ(messages->messages_.size(), 1u);

    // Letting go of the controller closes the view: a close record, then the end of the connection.
    controller.Reset();
    EXPECT_EQ(driver.Read().value_or(""), "{\"type\":\"close\"}");
    EXPECT_FALSE(driver.Read().has_value());
    EXPECT_TRUE(FAILED(webView->PostWebMessageAsJson(L"{}"))) << "a closed view must report failure";
    ::DestroyWindow(parent);
}

TEST_F(ClientLibrary, DriverGoingAwayLeavesTheProgramRunning) {
    auto driver = std::make_unique<FakeDriver>();
    UsePort(driver->port());
    ComPtr<EnvironmentRecorder> environmentDone;
    environmentDone =
        AdoptComPtr(new EnvironmentRecorder(IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler));
    ASSERT_EQ(create_(true, 0, nullptr, nullptr, environmentDone.Get()), S_OK);
    ASSERT_TRUE(driver->Accept());
    driver.reset();
    ASSERT_TRUE(PumpUntil([&] { return environmentDone->calls_ == 1; }));
    PumpFor(300); // the reader thread notices the end of the connection
    const HWND parent = CreateParentWindow();
    ComPtr<ControllerRecorder> controllerDone;
    controllerDone =
        AdoptComPtr(new ControllerRecorder(IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler));
    // With the driver gone the request fails synchronously instead of hanging.
    EXPECT_TRUE(FAILED(environmentDone->result_->CreateCoreWebView2Controller(parent, controllerDone.Get())));
    PumpFor(200);
    EXPECT_EQ(controllerDone->calls_, 0);
    ::DestroyWindow(parent);
}

} // namespace
