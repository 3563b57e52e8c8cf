// Bringing the browser control to life inside the main window.
#pragma once

#include <windows.h>

// Prepares the page and asks the runtime loader for a browser environment. Start-up continues in
// completion callbacks that arrive through the message loop.
void InitWebView(HWND mainWindow) noexcept;
