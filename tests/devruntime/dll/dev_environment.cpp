#include "dev_environment.h"

#include "wire_format.h"
#include "platform/com_adopt.h"
#include "support/web_resource_objects.h"

#include <objbase.h>

#include <cwchar>
#include <new>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kBrowserVersion[] = L"0.0.0.0 development runtime";

// Screen position of the client-area point (x, y) of `window`, so that the driver can lay Chromium's
// window over the program's.
POINT ScreenPoint(HWND window, LONG x, LONG y) noexcept {
    POINT point{x, y};
    ::ClientToScreen(window, &point);
    return point;
}

} // namespace

DevController::DevController(std::shared_ptr<DevSession> session, ComPtr<DevWebView> webView) noexcept
    : session_(std::move(session)), webView_(std::move(webView)) {
}

DevController::~DevController() {
    session_->CloseView();
}

HRESULT STDMETHODCALLTYPE DevController::get_IsVisible(BOOL* isVisible) {
    if (isVisible == nullptr) {
        return E_POINTER;
    }
    *isVisible = visible_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DevController::put_IsVisible(BOOL isVisible) {
    visible_ = isVisible;
    try {
        return session_->Record(JsonRecord("visible").Bool("visible", isVisible != FALSE).Finish());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDMETHODCALLTYPE DevController::get_Bounds(RECT* bounds) {
    if (bounds == nullptr) {
        return E_POINTER;
    }
    *bounds = bounds_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DevController::put_Bounds(RECT bounds) {
    bounds_ = bounds;
    const POINT origin = ScreenPoint(session_->ParentWindow(), bounds.left, bounds.top);
    try {
        return session_->Record(JsonRecord("bounds")
                                    .Number("left", bounds.left)
                                    .Number("top", bounds.top)
                                    .Number("right", bounds.right)
                                    .Number("bottom", bounds.bottom)
                                    .Number("screenX", origin.x)
                                    .Number("screenY", origin.y)
                                    .Finish());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDMETHODCALLTYPE DevController::get_ParentWindow(HWND* parentWindow) {
    if (parentWindow == nullptr) {
        return E_POINTER;
    }
    *parentWindow = session_->ParentWindow();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DevController::Close() {
    session_->CloseView();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DevController::get_CoreWebView2(ICoreWebView2** coreWebView2) {
    if (coreWebView2 == nullptr) {
        return E_POINTER;
    }
    *coreWebView2 = nullptr;
    if (session_->IsClosed()) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_STATE);
    }
    ComPtr<ICoreWebView2> copy = webView_;
    *coreWebView2 = copy.Detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DevEnvironment::CreateCoreWebView2Controller(
    HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
    if (handler == nullptr) {
        return E_POINTER;
    }
    if (!::IsWindow(parentWindow)) {
        return E_INVALIDARG;
    }
    if (controllerRequested_) {
        return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    }
    try {
        session_->SetParentWindow(parentWindow);
        ComPtr<DevWebView> webView;
        webView = AdoptComPtr(new DevWebView(session_));
        ComPtr<DevController> controller;
        controller = AdoptComPtr(new DevController(session_, webView));
        HRESULT hr = session_->Record(JsonRecord("controller")
                                          .Number("parentWindow", reinterpret_cast<INT_PTR>(parentWindow))
                                          .Number("processId", ::GetCurrentProcessId())
                                          .Finish());
        if (FAILED(hr)) {
            return hr;
        }
        const ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> completed(handler);
        hr = session_->Dispatcher().Post(
            [completed, controller] { completed->Invoke(S_OK, controller.Get()); });
        if (FAILED(hr)) {
            return hr;
        }
        controllerRequested_ = true;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDMETHODCALLTYPE DevEnvironment::get_BrowserVersionString(LPWSTR* versionInfo) {
    if (versionInfo == nullptr) {
        return E_POINTER;
    }
    const size_t units = std::wcslen(kBrowserVersion) + 1;
    *versionInfo = static_cast<LPWSTR>(::CoTaskMemAlloc(units * sizeof(wchar_t)));
    if (*versionInfo == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::wmemcpy(*versionInfo, kBrowserVersion, units);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE
DevEnvironment::CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                          LPCWSTR headers, ICoreWebView2WebResourceResponse** response) {
    return stand_in::MakeResponse(content, statusCode, reasonPhrase, headers, response);
}
