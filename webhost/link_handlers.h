// The web view's navigation starts and new-window requests: the page never leaves the program's own
// origin and the runtime never opens a window of its own; what a link asks for goes through the link
// rules (link_policy.h).
#pragma once

#include "platform/browser_abi.h"
#include "webhost/callback_object.h"
#include "webhost/page_message_actions.h"

#include <string>

// Follows a link the page asked for: opens it outside, opens it in the viewer through the host's
// `openLinkedDocument`, or does nothing.
void FollowLink(const wchar_t* uri, bool userInitiated, const PageMessageActions& actions) noexcept;

class NavigationStartingHandler final
    : public CallbackObject<ICoreWebView2NavigationStartingEventHandler,
                            IID_ICoreWebView2NavigationStartingEventHandler> {
public:
    // Lets through as many navigations to the page's address as the program itself makes (one).
    NavigationStartingHandler(unsigned ownNavigations, PageMessageActions actions) noexcept
        : ownNavigations_(ownNavigations), actions_(actions) {}

    // Every other navigation is cancelled, and its address followed as a link. Always S_OK.
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                     ICoreWebView2NavigationStartingEventArgs* args) noexcept override;

private:
    ~NavigationStartingHandler() override = default;

    unsigned ownNavigations_;
    const PageMessageActions actions_;
};

class NewWindowRequestedHandler final
    : public CallbackObject<ICoreWebView2NewWindowRequestedEventHandler,
                            IID_ICoreWebView2NewWindowRequestedEventHandler> {
public:
    explicit NewWindowRequestedHandler(PageMessageActions actions) noexcept : actions_(actions) {}

    // Every request is handled here (no window opens); its address is followed as a link. Always S_OK.
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                     ICoreWebView2NewWindowRequestedEventArgs* args) noexcept override;

private:
    ~NewWindowRequestedHandler() override = default;

    const PageMessageActions actions_;
};
