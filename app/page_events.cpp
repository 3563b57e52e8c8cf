#include "app/page_events.h"

#include "app/current_document.h"
#include "app/document_history.h"
#include "app/host_state.h"
#include "app/main_window.h"

#include <string>
#include <utility>

void OnPageReady() {
    g_pageReady = true;
    if (!g_pendingDocumentPath.empty()) {
        // Taken out first: a delivery that fails part-way (out of memory) must not be repeated by a
        // later ready when the page reloads.
        const std::wstring path = std::exchange(g_pendingDocumentPath, std::wstring());
        OpenNewDocument(path);
        RequestCommandLineExport();
    }
}

void OnPageClosedDocument(HWND mainWindow, uint32_t generation) {
    if (generation == 0 || generation != CurrentDocumentGeneration()) {
        return;
    }
    ::SetWindowTextW(mainWindow, kMainWindowTitle);
    CloseCurrentDocument();
}

void OnPageLinkedDocument(const std::wstring& path, const std::wstring& fragment) {
    if (g_pageReady) {
        OpenNewDocument(path, fragment);
    } else {
        g_pendingDocumentPath = path;
    }
}

void OnPageReload() {
    ShowCurrentDocumentAgain();
}
