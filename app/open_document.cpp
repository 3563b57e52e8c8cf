#include "app/open_document.h"

#include "app/document_text.h"
#include "webhost/browser_references.h"
#include "webhost/host_messages.h"

#include <shlwapi.h>

std::wstring DocumentNameFromPath(const std::wstring& path) {
    return ::PathFindFileNameW(path.c_str());
}

void OpenDocument(const std::wstring& path) {
    if (!g_webView) {
        return;
    }
    const std::wstring text = ReadDocumentText(path);
    const std::wstring message = ComposeOpenFileMessage(DocumentNameFromPath(path), text);
    g_webView->PostWebMessageAsJson(message.c_str());
}
