// Receives every message the page posts and hands it to OnWebMessageReceived with the host's actions.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/browser/callback_object.h"
#include "webhost/messages/page_message_actions.h"

class WebMessageHandler final : public CallbackObject<ICoreWebView2WebMessageReceivedEventHandler,
                                                      IID_ICoreWebView2WebMessageReceivedEventHandler> {
public:
    WebMessageHandler(HWND mainWindow, PageMessageActions actions) noexcept
        : mainWindow_(mainWindow), actions_(actions) {}

    // Always S_OK: an unrecognised or unreadable message is simply ignored.
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                     ICoreWebView2WebMessageReceivedEventArgs* args) noexcept override;

private:
    ~WebMessageHandler() override = default;

    const HWND mainWindow_;
    const PageMessageActions actions_;
};
