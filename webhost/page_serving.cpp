#include "webhost/page_serving.h"

#include "webhost/callback_object.h"
#include "webhost/link_handlers.h"
#include "webhost/page_origin.h"
#include "webhost/web_resource_handler.h"

#include <windows.h>

#include <climits>
#include <string>

using Microsoft::WRL::ComPtr;

std::string EncodePageText(const std::wstring& pageText) {
    std::string bytes;
    if (pageText.empty() || pageText.size() > INT_MAX / 3) {
        return bytes;
    }
    const int units = static_cast<int>(pageText.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, pageText.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return bytes;
    }
    bytes.resize(static_cast<size_t>(size));
    ::WideCharToMultiByte(CP_UTF8, 0, pageText.data(), units, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

void ServeViewerPage(ICoreWebView2* webView, ICoreWebView2Environment* environment,
                     const std::wstring& pageText, const PageMessageActions& actions) noexcept {
    std::string page;
    try {
        page = EncodePageText(pageText);
    } catch (...) {
        // No memory for the page: it is answered empty, and never reports that it is ready.
    }
    EventRegistrationToken token{};
    webView->AddWebResourceRequestedFilter(kPageRequestFilter, kWebResourceContextAll);
    const auto resources =
        MakeCallback<WebResourceHandler>(ComPtr<ICoreWebView2Environment>(environment), std::move(page),
                                         actions.currentDocument, actions.currentGeneration);
    webView->add_WebResourceRequested(resources.Get(), &token);
    const auto navigations = MakeCallback<NavigationStartingHandler>(1u, actions);
    webView->add_NavigationStarting(navigations.Get(), &token);
    const auto windows = MakeCallback<NewWindowRequestedHandler>(actions);
    webView->add_NewWindowRequested(windows.Get(), &token);
    webView->Navigate(kPageUrl);
}
