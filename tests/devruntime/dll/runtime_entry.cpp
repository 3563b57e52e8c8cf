// The development runtime's client-library entry. Instead of a browser of its own it connects to the
// browser driver (tests/devruntime/driver.js), which shows the page in Chromium on the same machine.
#include "dev_environment.h"
#include "dev_session.h"
#include "wire_format.h"
#include "platform/com_adopt.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

// Exported by name through exports.def. Fails synchronously (no completion follows) when the driver's
// port is not set or nobody listens on it; otherwise the environment arrives through the calling
// thread's message loop.
extern "C" HRESULT STDMETHODCALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    bool /*checkRunningInstance*/, int runtimeKind, PCWSTR userDataFolder, IUnknown* /*environmentOptions*/,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) noexcept {
    if (environmentCreatedHandler == nullptr) {
        return E_POINTER;
    }
    unsigned short port = 0;
    HRESULT hr = ReadDriverPort(port);
    if (FAILED(hr)) {
        return hr;
    }
    std::shared_ptr<DevSession> session;
    hr = DevSession::Open(port, session);
    if (FAILED(hr)) {
        return hr;
    }
    try {
        hr = session->Record(JsonRecord("hello")
                                 .Number("processId", ::GetCurrentProcessId())
                                 .Number("runtimeKind", runtimeKind)
                                 .String("userDataFolder", userDataFolder != nullptr ? userDataFolder : L"")
                                 .Finish());
        if (FAILED(hr)) {
            return hr;
        }
        ComPtr<DevEnvironment> environment;
        environment = AdoptComPtr(new DevEnvironment(session));
        const ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> completed(
            environmentCreatedHandler);
        return session->Dispatcher().Post(
            [completed, environment] { completed->Invoke(S_OK, environment.Get()); });
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
