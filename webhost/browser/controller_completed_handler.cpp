#include "webhost/browser/controller_completed_handler.h"

#include "webhost/browser/browser_references.h"
#include "webhost/browser/page_serving.h"
#include "webhost/messages/web_message_handler.h"

using Microsoft::WRL::ComPtr;

namespace {

// The platform default shows a status bar over hovered links; the viewer has no use for it.
void HideStatusBar(ICoreWebView2* webView) noexcept {
    ComPtr<ICoreWebView2Settings> settings;
    if (FAILED(webView->get_Settings(&settings)) || !settings) {
        return;
    }
    settings->put_IsStatusBarEnabled(FALSE);
}

} // namespace

HRESULT STDMETHODCALLTYPE ControllerCompletedHandler::Invoke(HRESULT errorCode,
                                                             ICoreWebView2Controller* controller) noexcept {
    if (FAILED(errorCode) || controller == nullptr) {
        return errorCode;
    }
    if (!::IsWindow(mainWindow_)) {
        // The window was closed while the control was being made, and its references already went
        // with it: holding the control now would keep it past the end of the message loop.
        return errorCode;
    }
    g_webViewController = controller;
    const HRESULT gotWebView = controller->get_CoreWebView2(g_webView.ReleaseAndGetAddressOf());
    if (!g_webView) {
        // Every later step needs the web view. Holding the controller alone would only size an empty
        // control, so let both go and stay exactly where a failed controller leaves the host.
        g_webViewController.Reset();
        return FAILED(gotWebView) ? gotWebView : E_NOINTERFACE;
    }
    const ComPtr<ICoreWebView2> webView = g_webView;

    // Fill the client area from the start; WM_SIZE keeps it filled from now on.
    RECT bounds{};
    ::GetClientRect(mainWindow_, &bounds);
    controller->put_Bounds(bounds);

    HideStatusBar(webView.Get());
    ServeViewerPage(mainWindow_, webView.Get(), environment_.Get(), pageText_, actions_);

    // The subscription lasts as long as the web view; its token is never needed.
    EventRegistrationToken token{};
    const auto handler = MakeCallback<WebMessageHandler>(mainWindow_, actions_);
    webView->add_WebMessageReceived(handler.Get(), &token);
    return S_OK;
}
