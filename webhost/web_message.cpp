#include "webhost/web_message.h"

#include "app/host_state.h"
#include "app/main_window.h"
#include "app/open_document.h"
#include "platform/unique_handle.h"
#include "webhost/host_messages.h"

#include <string>

namespace {

void OnReady() {
    g_pageReady = true;
    if (!g_pendingDocumentPath.empty()) {
        OpenDocument(g_pendingDocumentPath);
        g_pendingDocumentPath.clear();
    }
}

} // namespace

void OnWebMessageReceived(HWND mainWindow, ICoreWebView2WebMessageReceivedEventArgs* args) noexcept {
    if (args == nullptr) {
        return;
    }
    UniqueCoTaskString json;
    args->get_WebMessageAsJson(json.put());
    if (!json) {
        return;
    }
    try {
        switch (ClassifyPageMessage(json.get())) {
        case PageMessage::Ready:
            OnReady();
            break;
        case PageMessage::CloseDoc:
            ::SetWindowTextW(mainWindow, kMainWindowTitle);
            break;
        case PageMessage::Other:
            break;
        }
    } catch (...) {
        // Out of memory while delivering the document: this message is lost, nothing else.
    }
}
