#include "app/open_document.h"

#include "app/export_document.h"

#include "app/current_document.h"
#include "app/document_decoding.h"
#include "app/document_text.h"
#include "app/host_state.h"
#include "app/recent_documents.h"
#include "platform/long_path.h"
#include "webhost/browser/browser_references.h"
#include "webhost/messages/host_messages.h"

#include <shlwapi.h>

#include <utility>

std::wstring DocumentNameFromPath(const std::wstring& path) {
    return ::PathFindFileNameW(path.c_str());
}

uint32_t OpenDocument(const std::wstring& path, const DocumentLanding& landing, bool sayWhenMissing) {
    if (!g_webView) {
        return 0;
    }
    // An export from the command line is no document the user opened.
    if (!g_commandLineExport.active) {
        AddToRecentDocuments(path);
    }
    DocumentRead read = ReadDocumentBytes(path);
    const std::wstring name = DocumentNameFromPath(path);
    const uint32_t generation = NextDocumentGeneration();
    PostDocument(name, FullPath(path), read.bytes, generation, landing,
                 sayWhenMissing && read.outcome == ReadOutcome::Absent);
    SetCurrentDocument(g_mainWindow, path, name, generation, std::move(read));
    return generation;
}

void PostDocument(const std::wstring& name, const std::wstring& fullPath, const std::string& bytes,
                  uint32_t generation, const DocumentLanding& landing, bool missing,
                  std::wstring_view encoding) {
    if (!g_webView) {
        return;
    }
    const DecodedDocument decoded = DecodeDocument(bytes, encoding);
    const std::wstring message =
        ComposeOpenFileMessage(name, decoded.text, generation, landing, missing, fullPath, decoded.encoding);
    g_webView->PostWebMessageAsJson(message.c_str());
}
