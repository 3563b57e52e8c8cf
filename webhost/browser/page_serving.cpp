#include "webhost/browser/page_serving.h"

#include "platform/utf8.h"
#include "webhost/browser/callback_object.h"
#include "webhost/links/context_menu_handler.h"
#include "webhost/downloads/download_handler.h"
#include "webhost/links/link_handlers.h"
#include "webhost/serving/page_origin.h"
#include "webhost/serving/web_resource_handler.h"

#include <windows.h>

#include <string>

using Microsoft::WRL::ComPtr;

namespace {

// Downloads and the context menu come with later versions of the web view; an older runtime has
// neither event, and its downloads and menu stay the control's own.
void SubscribeDownloadsAndMenu(HWND mainWindow, ICoreWebView2* webView,
                               const PageMessageActions& actions) noexcept {
    EventRegistrationToken token{};
    ComPtr<ICoreWebView2_4> withDownloads;
    if (SUCCEEDED(webView->QueryInterface(IID_ICoreWebView2_4,
                                          reinterpret_cast<void**>(withDownloads.GetAddressOf()))) &&
        withDownloads) {
        const auto downloads = MakeCallback<DownloadStartingHandler>(mainWindow, actions);
        withDownloads->add_DownloadStarting(downloads.Get(), &token);
    }
    ComPtr<ICoreWebView2_11> withMenu;
    if (SUCCEEDED(webView->QueryInterface(IID_ICoreWebView2_11,
                                          reinterpret_cast<void**>(withMenu.GetAddressOf()))) &&
        withMenu) {
        const auto menus = MakeCallback<ContextMenuRequestedHandler>();
        withMenu->add_ContextMenuRequested(menus.Get(), &token);
    }
}

} // namespace

void ServeViewerPage(HWND mainWindow, ICoreWebView2* webView, ICoreWebView2Environment* environment,
                     const std::wstring& pageText, const PageMessageActions& actions) noexcept {
    std::string page;
    try {
        page = EncodeUtf8(pageText);
    } catch (...) {
        // No memory for the page: it is answered empty, and never reports that it is ready.
    }
    EventRegistrationToken token{};
    webView->AddWebResourceRequestedFilter(kPageRequestFilter, kWebResourceContextAll);
    const auto resources =
        MakeCallback<WebResourceHandler>(ComPtr<ICoreWebView2Environment>(environment), std::move(page),
                                         actions.currentDocument, actions.currentGeneration);
    webView->add_WebResourceRequested(resources.Get(), &token);
    const auto navigations = MakeCallback<NavigationStartingHandler>(mainWindow, 1u, actions);
    webView->add_NavigationStarting(navigations.Get(), &token);
    const auto windows = MakeCallback<NewWindowRequestedHandler>(mainWindow, actions);
    webView->add_NewWindowRequested(windows.Get(), &token);
    SubscribeDownloadsAndMenu(mainWindow, webView, actions);
    webView->Navigate(kPageUrl);
}
