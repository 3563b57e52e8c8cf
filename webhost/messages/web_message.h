// The host's answer to the page: each message the page posts runs the host's action for it.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/messages/page_message_actions.h"

// "ready", "closeDoc" (with the delivery it names), the history's moves and places, the page's own documents
// and the panel's choices run the matching action of `actions` (a choice in the panel goes through the link
// rules, as a link followed in the document does). Anything else, and a message whose text cannot be read, is
// ignored; nothing is ever posted in reply.
void OnWebMessageReceived(HWND mainWindow, const PageMessageActions& actions,
                          ICoreWebView2WebMessageReceivedEventArgs* args) noexcept;
