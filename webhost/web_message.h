// The host's answer to the page: "ready" delivers the pending document, "closeDoc" resets the title.
#pragma once

#include "platform/browser_abi.h"

// On "ready": sets the page-ready flag and delivers a pending document once, then forgets it. On
// "closeDoc": sets the main window's title back to "Tallowmere". Anything else, and a message whose
// text cannot be read, is ignored; nothing is ever posted in reply.
void OnWebMessageReceived(HWND mainWindow, ICoreWebView2WebMessageReceivedEventArgs* args) noexcept;
