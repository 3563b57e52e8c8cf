// The web view's download starts: the control's own download is always cancelled, and the download
// rules (download_policy.h) decide what the program does instead.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/browser/callback_object.h"
#include "webhost/messages/page_message_actions.h"

class DownloadStartingHandler final : public CallbackObject<ICoreWebView2DownloadStartingEventHandler,
                                                            IID_ICoreWebView2DownloadStartingEventHandler> {
public:
    DownloadStartingHandler(HWND mainWindow, PageMessageActions actions) noexcept
        : mainWindow_(mainWindow), actions_(actions) {}

    // Cancels the download, then offers a file beside the document for saving or opens a web address
    // outside, both later from the window's procedure. Always S_OK.
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                     ICoreWebView2DownloadStartingEventArgs* args) noexcept override;

private:
    ~DownloadStartingHandler() override = default;

    const HWND mainWindow_;
    const PageMessageActions actions_;
};

// Whether the user has just acted on `mainWindow`: a key or button of this session within the last few
// seconds, while the window (or the control inside it) is in the foreground. The runtime does not say
// whether a download was asked for by the user, as it does for links.
bool UserJustActed(HWND mainWindow) noexcept;
