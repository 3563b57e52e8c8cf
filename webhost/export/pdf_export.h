// The page printed to a PDF by the browser control's own print-to-PDF (slot 80, see browser_print_abi.h), in
// the page's print look. The runtime writes a temporary file beside the destination, which is renamed
// over it only once the runtime reports the whole file written (see export_file.h).
#pragma once

#include "platform/browser_print_abi.h"

#include <functional>
#include <string>

// Starts printing `webView`'s page to `destination` (a full path); `done` follows once, on the
// user-interface thread, with S_OK when the destination holds the whole PDF. A failure to start is
// returned at once (E_NOINTERFACE: a runtime older than print-to-PDF) and `done` is never called.
HRESULT PrintPageToPdf(ICoreWebView2* webView, const std::wstring& destination,
                       std::function<void(HRESULT)> done) noexcept;
