// Process entry: COM, the command-line document, the main window, the browser control and the one
// message loop on which everything else runs.
#include "app/command_line.h"
#include "app/host_state.h"
#include "app/main_window.h"
#include "app/page_events.h"
#include "webhost/web_view.h"

#include <windows.h>
#include <objbase.h>

namespace {

int RunMessageLoop() noexcept {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLineTail, int /*showCommand*/) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        g_pendingDocumentPath = PendingDocumentFromCommandLine(commandLineTail);
    } catch (...) {
        // Without memory for the path there is simply no document to open.
    }
    RegisterMainWindowClass(instance);
    g_mainWindow = CreateMainWindow(instance);
    if (g_mainWindow == nullptr) {
        // Without a window nothing could ever post the quit message: the process would linger
        // invisibly. Leave with a failure code instead.
        ::CoUninitialize();
        return 1;
    }
    InitWebView(g_mainWindow, kPageMessageActions);
    const int exitCode = RunMessageLoop();
    ::CoUninitialize();
    return exitCode;
}
