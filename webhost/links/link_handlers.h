// The web view's navigation starts and new-window requests: the page never leaves the program's own
// origin and the runtime never opens a window of its own; what a link asks for goes through the link
// rules (link_policy.h). A reload of the page (F5, Ctrl+R, the context menu's Reload) shows the current
// document again instead.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/browser/callback_object.h"
#include "webhost/messages/page_message_actions.h"

#include <string>

// Follows a link the page asked for: opens it outside (from `mainWindow`'s procedure, later), opens it in
// the viewer through the host's `openLinkedDocument` once a worker has checked the file
// (CheckLinkedDocument) and only if the page still shows the document whose link it was, or does
// nothing. Never waits on a disk.
void FollowLink(HWND mainWindow, const wchar_t* uri, bool userInitiated,
                const PageMessageActions& actions) noexcept;

// Hands `address` (made safe by the link rules) to the user's default program from `mainWindow`'s
// procedure, once the current callback has returned: the shell may block, or show a "choose an app"
// dialog whose message loop would run inside the control's callback.
void OpenOutsideLater(HWND mainWindow, std::wstring address) noexcept;

class NavigationStartingHandler final
    : public CallbackObject<ICoreWebView2NavigationStartingEventHandler,
                            IID_ICoreWebView2NavigationStartingEventHandler> {
public:
    // Lets through as many navigations to the page's address as the program itself makes (one).
    NavigationStartingHandler(HWND mainWindow, unsigned ownNavigations, PageMessageActions actions) noexcept
        : mainWindow_(mainWindow), ownNavigations_(ownNavigations), actions_(actions) {}

    // Every other navigation is cancelled. A reload of the page asks the host to show its document
    // again (`reloadDocument`); any other address is followed as a link. Always S_OK.
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                     ICoreWebView2NavigationStartingEventArgs* args) noexcept override;

private:
    ~NavigationStartingHandler() override = default;

    const HWND mainWindow_;
    unsigned ownNavigations_;
    const PageMessageActions actions_;
};

class NewWindowRequestedHandler final
    : public CallbackObject<ICoreWebView2NewWindowRequestedEventHandler,
                            IID_ICoreWebView2NewWindowRequestedEventHandler> {
public:
    NewWindowRequestedHandler(HWND mainWindow, PageMessageActions actions) noexcept
        : mainWindow_(mainWindow), actions_(actions) {}

    // Every request is handled here (no window opens); its address is followed as a link. Always S_OK.
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                     ICoreWebView2NewWindowRequestedEventArgs* args) noexcept override;

private:
    ~NewWindowRequestedHandler() override = default;

    const HWND mainWindow_;
    const PageMessageActions actions_;
};
