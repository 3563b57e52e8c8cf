#include "webhost/link_handlers.h"

#include "platform/unique_handle.h"
#include "webhost/link_policy.h"
#include "webhost/page_origin.h"

#include <shellapi.h>

void FollowLink(const wchar_t* uri, bool userInitiated, const PageMessageActions& actions) noexcept {
    if (uri == nullptr) {
        return;
    }
    try {
        const std::wstring documentPath =
            actions.currentDocument != nullptr ? actions.currentDocument() : L"";
        const LinkDecision decision = DecideLink(uri, userInitiated, documentPath);
        switch (decision.action) {
        case LinkAction::OpenExternally:
            // Only web and mail addresses get here: the shell hands them to the user's own programs.
            ::ShellExecuteW(nullptr, L"open", decision.target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            break;
        case LinkAction::OpenInViewer:
            if (actions.openLinkedDocument != nullptr) {
                actions.openLinkedDocument(decision.target);
            }
            break;
        case LinkAction::Refuse:
            break;
        }
    } catch (...) {
        // Out of memory while following a link: nothing happens, as for a refused one.
    }
}

HRESULT STDMETHODCALLTYPE NavigationStartingHandler::Invoke(
    ICoreWebView2* /*sender*/, ICoreWebView2NavigationStartingEventArgs* args) noexcept {
    if (args == nullptr) {
        return S_OK;
    }
    UniqueCoTaskString uri;
    args->get_Uri(uri.put());
    if (uri && ownNavigations_ > 0 && std::wstring_view(kPageUrl) == uri.get()) {
        --ownNavigations_;
        return S_OK;
    }
    args->put_Cancel(TRUE);
    BOOL userInitiated = FALSE;
    args->get_IsUserInitiated(&userInitiated);
    FollowLink(uri.get(), userInitiated != FALSE, actions_);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE NewWindowRequestedHandler::Invoke(
    ICoreWebView2* /*sender*/, ICoreWebView2NewWindowRequestedEventArgs* args) noexcept {
    if (args == nullptr) {
        return S_OK;
    }
    args->put_Handled(TRUE);
    UniqueCoTaskString uri;
    args->get_Uri(uri.put());
    BOOL userInitiated = FALSE;
    args->get_IsUserInitiated(&userInitiated);
    FollowLink(uri.get(), userInitiated != FALSE, actions_);
    return S_OK;
}
