#include "app/document_history.h"

#include "app/current_document.h"
#include "app/main_window.h"
#include "app/open_document.h"
#include "app/page_outbox.h"
#include "app/window_history.h"
#include "platform/long_path.h"
#include "webhost/browser/browser_references.h"
#include "webhost/messages/host_messages.h"

namespace {

WindowHistory g_history;
// What the page was last told Back and Forward would show; it starts with nowhere to go either way.
std::wstring g_toldBack;
std::wstring g_toldForward;

// Tells the page what Back and Forward would show, for its buttons, when that has changed.
void PostHistoryState() {
    if (!g_webView) {
        return;
    }
    const HistoryEntry* back = g_history.PeekBack();
    const HistoryEntry* forward = g_history.PeekForward();
    std::wstring backName = back ? back->name : std::wstring();
    std::wstring forwardName = forward ? forward->name : std::wstring();
    if (backName == g_toldBack && forwardName == g_toldForward) {
        return;
    }
    const std::wstring message = ComposeHistoryMessage(backName, forwardName);
    PostToPage(message);
    g_toldBack = std::move(backName);
    g_toldForward = std::move(forwardName);
}

void Show(HistoryEntry& entry) {
    if (!entry.path.empty()) {
        entry.generation = OpenDocument(entry.path, {entry.place, {}}, true);
    } else {
        // Only the page has this document's text; the host follows no file meanwhile.
        CloseCurrentDocument();
        if (g_webView) {
            const std::wstring message = ComposeShowOwnMessage(entry.own, entry.name, entry.place);
            PostToPage(message);
        }
    }
    PostHistoryState();
}

} // namespace

void OpenNewDocument(const std::wstring& path, const std::wstring& fragment) {
    if (!g_webView) {
        return;
    }
    HistoryEntry entry;
    entry.path = FullPath(path);
    entry.name = DocumentNameFromPath(path);
    entry.generation = OpenDocument(path, {{}, fragment});
    if (entry.path.empty()) {
        return; // a path the platform cannot make full could never be read again
    }
    g_history.Add(std::move(entry));
    PostHistoryState();
}

void GoBack() {
    if (HistoryEntry* entry = g_history.Back()) {
        Show(*entry);
    }
}

void GoForward() {
    if (HistoryEntry* entry = g_history.Forward()) {
        Show(*entry);
    }
}

void RememberPlace(uint32_t generation, uint32_t own, const std::wstring& place) {
    g_history.RememberPlace(generation, own, place);
}

void ShowOwnDocument(HWND mainWindow, uint32_t own, const std::wstring& name) {
    ::SetWindowTextW(mainWindow, kMainWindowTitle);
    CloseCurrentDocument();
    HistoryEntry entry;
    entry.own = own;
    entry.name = name;
    g_history.Add(std::move(entry));
    PostHistoryState();
}
