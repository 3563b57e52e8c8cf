// A client library that accepts environment requests and completes them later through the message loop,
// as the real runtime does: each accepted request posts a message to a hidden window of this library, and
// the test's message pump delivers the completion. The answers follow a script the test sets.
#include "fake_runtime_control.h"
#include "platform/com_adopt.h"
#include "support/com_stubs.h"

#include <wrl/client.h>

#include <cwchar>
#include <deque>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT kDeliverCompletion = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"TallowmereFakeRuntimeDelivery";

class FakeEnvironment : public StubEnvironment {
public:
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) override {
        if (versionInfo == nullptr) {
            return E_POINTER;
        }
        constexpr wchar_t kVersion[] = FAKE_RUNTIME_BROWSER_VERSION;
        *versionInfo = static_cast<LPWSTR>(::CoTaskMemAlloc(sizeof kVersion));
        if (*versionInfo == nullptr) {
            return E_OUTOFMEMORY;
        }
        std::wmemcpy(*versionInfo, kVersion, sizeof kVersion / sizeof kVersion[0]);
        return S_OK;
    }
};

struct PendingCompletion {
    ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> handler;
    HRESULT code;
};

std::vector<FakeRuntimeStep> g_script;
size_t g_nextStep = 0;
std::vector<FakeRuntimeCall> g_calls;
std::deque<PendingCompletion> g_pending;
HWND g_deliveryWindow = nullptr;

void DeliverOne() noexcept {
    if (g_pending.empty()) {
        return;
    }
    PendingCompletion completion = std::move(g_pending.front());
    g_pending.pop_front();
    if (SUCCEEDED(completion.code)) {
        const ComPtr<FakeEnvironment> environment = AdoptComPtr(new FakeEnvironment());
        completion.handler->Invoke(completion.code, environment.Get());
    } else {
        completion.handler->Invoke(completion.code, nullptr);
    }
}

LRESULT CALLBACK DeliveryWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kDeliverCompletion) {
        DeliverOne();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HMODULE ThisLibrary() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&DeliveryWindowProc), &module);
    return module;
}

// A message-only window on the calling thread, made on first use; the library never unloads.
HWND DeliveryWindow() noexcept {
    if (g_deliveryWindow == nullptr) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DeliveryWindowProc;
        windowClass.hInstance = ThisLibrary();
        windowClass.lpszClassName = kWindowClass;
        ::RegisterClassExW(&windowClass);
        g_deliveryWindow = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                             windowClass.hInstance, nullptr);
    }
    return g_deliveryWindow;
}

FakeRuntimeStep NextStep() noexcept {
    if (g_nextStep < g_script.size()) {
        return g_script[g_nextStep++];
    }
    return FakeRuntimeStep{S_OK, S_OK};
}

} // namespace

FAKE_RUNTIME_EXPORT HRESULT STDMETHODCALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    bool firstArgument, int runtimeKind, PCWSTR userDataFolder, IUnknown* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
    FakeRuntimeCall call{};
    call.firstArgument = firstArgument ? 1 : 0;
    call.runtimeKind = runtimeKind;
    call.userDataFolderPresent = userDataFolder != nullptr;
    if (userDataFolder != nullptr) {
        wcsncpy_s(call.userDataFolder, userDataFolder, _TRUNCATE);
    }
    call.environmentOptions = environmentOptions;
    call.handler = handler;
    g_calls.push_back(call);

    const FakeRuntimeStep step = NextStep();
    if (FAILED(step.acceptResult)) {
        return step.acceptResult;
    }
    if (handler == nullptr) {
        return E_INVALIDARG;
    }
    g_pending.push_back(PendingCompletion{handler, step.completion});
    ::PostMessageW(DeliveryWindow(), kDeliverCompletion, 0, 0);
    return step.acceptResult;
}

FAKE_RUNTIME_EXPORT void FakeRuntimeReset(const FakeRuntimeStep* steps, int count) {
    g_script.assign(steps, steps + count);
    g_nextStep = 0;
    g_calls.clear();
}

FAKE_RUNTIME_EXPORT int FakeRuntimeCallCount() {
    return static_cast<int>(g_calls.size());
}

FAKE_RUNTIME_EXPORT BOOL FakeRuntimeGetCall(int index, FakeRuntimeCall* call) {
    if (index < 0 || static_cast<size_t>(index) >= g_calls.size() || call == nullptr) {
        return FALSE;
    }
    *call = g_calls[static_cast<size_t>(index)];
    return TRUE;
}

FAKE_RUNTIME_EXPORT int FakeRuntimePendingCount() {
    return static_cast<int>(g_pending.size());
}
