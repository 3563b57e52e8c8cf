// The host's only two references into the browser control. Set once when the controller arrives,
// released (controller first) when the main window is destroyed.
#pragma once

#include "platform/browser_abi.h"

#include <wrl/client.h>

extern Microsoft::WRL::ComPtr<ICoreWebView2Controller> g_webViewController;
extern Microsoft::WRL::ComPtr<ICoreWebView2> g_webView;
