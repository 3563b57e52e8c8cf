// The browser control's print-to-PDF, declared beside the rest of the binary interface
// (platform/browser_abi.h): slot 80 of the web view (ICoreWebView2_7, whose slot there carries
// placeholder types: the handler goes in as an IUnknown), reached through ICoreWebView2_11, which the
// program asks for already (the context menu).
#pragma once

#include "platform/browser_abi.h"

// PrintToPdf(resultFilePath, printSettings, handler): the page in its print look written to the path;
// null settings are the runtime's defaults (the paper size then comes from the page's own @page rule).
// The handler's Invoke(errorCode, isSuccessful) follows on the user-interface thread.
struct ICoreWebView2PrintToPdfCompletedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, BOOL isSuccessful) = 0; // 3
};

// Not among the sheet's checked identifiers: the runtime calls the handler it is given through its
// table and does not ask it for this interface; the host's handler answers to it all the same.
inline constexpr IID IID_ICoreWebView2PrintToPdfCompletedHandler = {
    0xCCF1EF04, 0xFD8E, 0x4D5F, {0xB2, 0xDE, 0x09, 0x83, 0xE4, 0x1B, 0x8C, 0x36}};
