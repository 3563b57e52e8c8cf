#include "webhost/browser/environment_completed_handler.h"

#include "webhost/browser/controller_completed_handler.h"
#include "webhost/browser/environment_failure.h"

HRESULT STDMETHODCALLTYPE
EnvironmentCompletedHandler::Invoke(HRESULT errorCode, ICoreWebView2Environment* environment) noexcept {
    if (!::IsWindow(mainWindow_)) {
        // The user closed the window while the runtime was starting: there is nothing left to start
        // and no one to tell.
        return errorCode;
    }
    if (FAILED(errorCode) || environment == nullptr) {
        // The loader has already retried; nothing more will come. The window stays, empty.
        ShowEnvironmentFailure(mainWindow_);
        return errorCode;
    }
    // The environment is kept only to answer the page's requests; the controller needs nothing more.
    const auto handler = MakeCallback<ControllerCompletedHandler>(
        mainWindow_, pageText_, actions_, Microsoft::WRL::ComPtr<ICoreWebView2Environment>(environment));
    environment->CreateCoreWebView2Controller(mainWindow_, handler.Get());
    return S_OK;
}
