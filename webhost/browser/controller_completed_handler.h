// Called when the browser control exists (or could not be made): takes it over, sizes it, navigates
// to the page and listens to the page's messages.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/browser/callback_object.h"
#include "webhost/messages/page_message_actions.h"

#include <wrl/client.h>

#include <string>

class ControllerCompletedHandler final
    : public CallbackObject<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                            IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> {
public:
    // `environment` answers the page's requests; without it the page is navigated to but never loads.
    ControllerCompletedHandler(
        HWND mainWindow, std::wstring pageText, PageMessageActions actions,
        Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment = nullptr) noexcept
        : mainWindow_(mainWindow), pageText_(std::move(pageText)), actions_(actions),
          environment_(std::move(environment)) {}

    // A failure, or success without a controller, returns `errorCode` silently. A controller that
    // yields no web view is let go again (nothing is held) and start-up stops there just as silently, as
    // it does when the main window is already gone.
    HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode,
                                     ICoreWebView2Controller* controller) noexcept override;

private:
    ~ControllerCompletedHandler() override = default;

    const HWND mainWindow_;
    const std::wstring pageText_; // the copy that is served
    const PageMessageActions actions_;
    const Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment_;
};
