// The host's answer to the page: "ready" and "closeDoc" run the host's actions.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/page_message_actions.h"

// On "ready" runs `actions.ready`; on "closeDoc" runs `actions.closeDoc` with `mainWindow` and the
// delivery the message names. Anything else, and a message whose text cannot be read, is ignored;
// nothing is ever posted in reply.
void OnWebMessageReceived(HWND mainWindow, const PageMessageActions& actions,
                          ICoreWebView2WebMessageReceivedEventArgs* args) noexcept;
