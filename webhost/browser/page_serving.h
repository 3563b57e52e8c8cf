// Showing the viewer page from the program's own origin: the request filter and the handlers (requests,
// navigation starts, new windows, downloads, the context menu) come first, so that not even the first request
// escapes them, then the navigation itself.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/messages/page_message_actions.h"

#include <string>

// `environment` makes the responses (without it nothing is answered); `pageText` is the prepared page;
// `actions` opens the documents that links name; `mainWindow` runs what must wait until a callback has
// returned (launching the default browser, the save dialog).
// Results of the platform calls are not examined, like the rest of start-up: a page that never loads
// never says it is ready.
void ServeViewerPage(HWND mainWindow, ICoreWebView2* webView, ICoreWebView2Environment* environment,
                     const std::wstring& pageText, const PageMessageActions& actions) noexcept;
