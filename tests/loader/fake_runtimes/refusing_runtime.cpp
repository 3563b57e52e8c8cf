// A client library that refuses every environment request at once. Built twice: with and without
// "DllCanUnloadNow", which decides whether the loader lets go of the library afterwards.
#include "fake_runtime_control.h"
#include "platform/browser_abi.h"

FAKE_RUNTIME_EXPORT HRESULT STDMETHODCALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    bool, int, PCWSTR, IUnknown*, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*) {
    return FAKE_RUNTIME_REFUSAL;
}

#ifdef FAKE_RUNTIME_UNLOADABLE
FAKE_RUNTIME_EXPORT HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
    return S_OK;
}
#endif
