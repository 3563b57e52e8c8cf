// Called when the browser environment is ready (or could not be made): asks for the controller.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/browser/callback_object.h"
#include "webhost/messages/page_message_actions.h"

#include <string>

class EnvironmentCompletedHandler final
    : public CallbackObject<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
                            IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> {
public:
    // Keeps its own copy of the page text: the caller's copy is gone long before the call comes.
    EnvironmentCompletedHandler(HWND mainWindow, std::wstring pageText, PageMessageActions actions) noexcept
        : mainWindow_(mainWindow), pageText_(std::move(pageText)), actions_(actions) {}

    // A failure, or success without an environment, shows the environment-failure message box and
    // returns `errorCode` unchanged. Otherwise requests a controller for the main window. Once the main
    // window is gone nothing is shown or requested.
    HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode,
                                     ICoreWebView2Environment* environment) noexcept override;

private:
    ~EnvironmentCompletedHandler() override = default;

    const HWND mainWindow_;
    const std::wstring pageText_;
    const PageMessageActions actions_;
};
