// The development runtime's environment and controller. One environment drives one view in Chromium.
#pragma once

#include "dev_session.h"
#include "dev_web_view.h"
#include "support/com_stubs.h"

#include <wrl/client.h>

#include <memory>

class DevController : public StubController {
public:
    DevController(std::shared_ptr<DevSession> session, Microsoft::WRL::ComPtr<DevWebView> webView) noexcept;
    // Letting go of the controller closes the view, as with the platform's own runtime.
    ~DevController() override;

    HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* isVisible) override;
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL isVisible) override;
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) override;
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override;
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parentWindow) override;
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** coreWebView2) override;

private:
    std::shared_ptr<DevSession> session_;
    Microsoft::WRL::ComPtr<DevWebView> webView_;
    RECT bounds_{};
    BOOL visible_ = TRUE;
};

class DevEnvironment : public StubEnvironment {
public:
    explicit DevEnvironment(std::shared_ptr<DevSession> session) noexcept : session_(std::move(session)) {}

    // The completion arrives later through the calling thread's message loop. A second view from the
    // same environment is refused: the driver shows exactly one page.
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) override;
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int statusCode,
                                                        LPCWSTR reasonPhrase, LPCWSTR headers,
                                                        ICoreWebView2WebResourceResponse** response) override;

private:
    std::shared_ptr<DevSession> session_;
    bool controllerRequested_ = false;
};
