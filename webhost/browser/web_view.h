// Bringing the browser control to life inside the main window.
#pragma once

#include "webhost/messages/page_message_actions.h"

#include <windows.h>

// Prepares the page and asks the runtime loader for a browser environment. Start-up continues in
// completion callbacks that arrive through the message loop; the page's messages run `actions`.
void InitWebView(HWND mainWindow, PageMessageActions actions) noexcept;
