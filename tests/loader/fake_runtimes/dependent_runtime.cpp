// A client library that imports from a library missing at run time, so loading it fails with
// ERROR_MOD_NOT_FOUND before any of its code runs.
#include "fake_runtime_control.h"
#include "platform/browser_abi.h"

extern "C" __declspec(dllimport) int TallowmereMissingPieceValue();

FAKE_RUNTIME_EXPORT HRESULT STDMETHODCALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    bool, int, PCWSTR, IUnknown*, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*) {
    return TallowmereMissingPieceValue() == 7 ? S_OK : E_FAIL;
}
