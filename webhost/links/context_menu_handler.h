// The control's context menu, trimmed: Back and Forward could only lose the page, "Save as" would save
// the program's page rather than the document. Everything else (copy, select all, print, reload) stays,
// and the runtime shows the menu itself.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/browser/callback_object.h"

#include <string_view>

// The names of the items taken out of every menu (the runtime's unlocalized names).
inline constexpr std::wstring_view kRemovedMenuItems[] = {L"back", L"forward", L"saveAs"};

class ContextMenuRequestedHandler final
    : public CallbackObject<ICoreWebView2ContextMenuRequestedEventHandler,
                            IID_ICoreWebView2ContextMenuRequestedEventHandler> {
public:
    ContextMenuRequestedHandler() noexcept = default;

    // Removes those items, and any separator they leave at an end of the menu or beside another
    // separator. Always S_OK.
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                     ICoreWebView2ContextMenuRequestedEventArgs* args) noexcept override;

private:
    ~ContextMenuRequestedHandler() override = default;
};
