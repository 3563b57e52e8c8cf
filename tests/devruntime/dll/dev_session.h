// One development-runtime environment: the connection to the browser driver, the dispatcher that brings
// the driver's commands onto the program's user-interface thread, and the program window that the view
// belongs to. Shared by the environment, the controller and the web view.
#pragma once

#include "driver_connection.h"
#include "ui_dispatcher.h"
#include "wire_format.h"

#include <windows.h>

#include <memory>
#include <string>

class DevWebView;

class DevSession : public std::enable_shared_from_this<DevSession> {
public:
    DevSession() = default;
    DevSession(const DevSession&) = delete;
    DevSession& operator=(const DevSession&) = delete;

    // On the user-interface thread: connects to the driver listening on 127.0.0.1:`port`.
    static HRESULT Open(unsigned short port, std::shared_ptr<DevSession>& session) noexcept;

    UiDispatcher& Dispatcher() noexcept { return dispatcher_; }

    // Sends one JSON record to the driver; fails once the view has been closed or the driver has gone, so
    // that requests made after that fail at once instead of waiting for a browser that never answers.
    HRESULT Record(const std::string& record) noexcept;

    void SetParentWindow(HWND window) noexcept { parentWindow_ = window; }
    [[nodiscard]] HWND ParentWindow() const noexcept { return parentWindow_; }

    // The web view that receives page messages; null detaches it.
    void SetWebView(DevWebView* webView) noexcept { webView_ = webView; }

    // The program let go of its view: Chromium and the driver close; the program goes on unaffected.
    void CloseView() noexcept;
    [[nodiscard]] bool IsClosed() const noexcept { return closed_; }

private:
    void RunDriverCommand(const std::string& body) noexcept;
    // A request from the page that the web view answers: a resource, a new window, a navigation, a
    // reload, a download.
    void RunPageRequest(const DriverCommand& command);

    // Declared before the connection so that the connection (and its reader thread, which posts to the
    // dispatcher) ends first.
    UiDispatcher dispatcher_;
    DriverConnection connection_;
    HWND parentWindow_ = nullptr;
    DevWebView* webView_ = nullptr;
    bool closed_ = false;
    bool driverGone_ = false;
};

// The driver's port from the environment variable TALLOWMERE_DEVRUNTIME_PORT (decimal, 1..65535).
HRESULT ReadDriverPort(unsigned short& port) noexcept;
