// The development runtime's web view: what the program asks of the page goes to the browser driver, and
// page messages from the driver reach the program's handlers on its user-interface thread.
#pragma once

#include "dev_session.h"
#include "support/com_stubs.h"
#include "support/web_resource_objects.h"

#include <wrl/client.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class DevSettings : public StubSettings {
public:
    explicit DevSettings(std::shared_ptr<DevSession> session) noexcept : session_(std::move(session)) {}
    HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL value) override;

private:
    std::shared_ptr<DevSession> session_;
    BOOL statusBarEnabled_ = TRUE;
};

class DevWebView : public stand_in::StandInWebView {
public:
    explicit DevWebView(std::shared_ptr<DevSession> session) noexcept;
    ~DevWebView() override;

    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override;
    HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR htmlContent) override;
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR webMessageAsJson) override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR webMessageAsString) override;
    HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                                     EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken token) override;
    // Print to PDF (slot 80): Chromium prints the page ("printToPdf" record with the request's id and the
    // Windows path); the driver's answer calls the handler (FinishPrintToPdf), as the real runtime does.
    HRESULT STDMETHODCALLTYPE PrintToPdf(LPCWSTR resultFilePath, BrowserOpaque* printSettings,
                                         BrowserOpaque* handler) override;
    void FinishPrintToPdf(long long id, bool written) noexcept;

    // On the user-interface thread: one message that the page posted, as its JSON text.
    void DeliverWebMessage(const std::wstring& json) noexcept;

    // On the user-interface thread, each for the driver's request `id`, answered with a record: a request
    // from Chromium for a resource ("resourceResponse"; one no filter matches, or no handler answers, is
    // left unanswered, as the real runtime would send it to the network), a link that asks for a new
    // window ("newWindowResult") and a navigation of the page ("navigationResult").
    void RequestResource(long long id, const std::wstring& method, const std::wstring& range,
                         const std::wstring& uri) noexcept;
    void RequestNewWindow(long long id, bool userInitiated, const std::wstring& uri) noexcept;
    void StartNavigation(long long id, bool userInitiated, const std::wstring& uri) noexcept;
    // A reload of the page (F5, Ctrl+R, the menu's Reload, location.reload): a navigation of the reload
    // kind ("navigationResult"); a download Chromium starts, with the file name it suggests
    // ("downloadResult": whether the program cancelled it).
    void StartReload(long long id, const std::wstring& uri) noexcept;
    void StartDownload(long long id, const std::wstring& suggestedName, const std::wstring& uri) noexcept;

private:
    struct Subscription {
        INT64 token;
        Microsoft::WRL::ComPtr<ICoreWebView2WebMessageReceivedEventHandler> handler;
    };

    std::shared_ptr<DevSession> session_;
    Microsoft::WRL::ComPtr<DevSettings> settings_;
    std::vector<Subscription> subscriptions_;
    INT64 nextToken_ = 1;
    std::vector<std::pair<long long, Microsoft::WRL::ComPtr<IUnknown>>> printHandlers_;
    long long nextPrint_ = 1;
};
