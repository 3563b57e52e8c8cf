// Receives every message the page posts and hands it to OnWebMessageReceived.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/callback_object.h"

class WebMessageHandler final : public CallbackObject<ICoreWebView2WebMessageReceivedEventHandler,
                                                      IID_ICoreWebView2WebMessageReceivedEventHandler> {
public:
    explicit WebMessageHandler(HWND mainWindow) noexcept : mainWindow_(mainWindow) {}

    // Always S_OK: an unrecognised or unreadable message is simply ignored.
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                     ICoreWebView2WebMessageReceivedEventArgs* args) noexcept override;

private:
    ~WebMessageHandler() override = default;

    const HWND mainWindow_;
};
