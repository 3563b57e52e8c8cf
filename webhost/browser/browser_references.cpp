#include "webhost/browser/browser_references.h"

Microsoft::WRL::ComPtr<ICoreWebView2Controller> g_webViewController;
Microsoft::WRL::ComPtr<ICoreWebView2> g_webView;
