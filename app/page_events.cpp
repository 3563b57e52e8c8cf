#include "app/page_events.h"

#include "app/host_state.h"
#include "app/main_window.h"
#include "app/open_document.h"

void OnPageReady() {
    g_pageReady = true;
    if (!g_pendingDocumentPath.empty()) {
        OpenDocument(g_pendingDocumentPath);
        g_pendingDocumentPath.clear();
    }
}

void OnPageClosedDocument(HWND mainWindow) {
    ::SetWindowTextW(mainWindow, kMainWindowTitle);
}
