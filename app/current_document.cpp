#include "app/current_document.h"

#include "app/document_watch.h"
#include "app/open_document.h"
#include "platform/long_path.h"

#include <utility>

namespace {

void DeliverAgain(const std::wstring& name, const std::string& bytes) noexcept {
    try {
        PostDocument(name, bytes);
    } catch (...) {
        // Out of memory for the message: the page keeps what it shows, as after a refused post.
    }
}

std::wstring g_currentDocumentPath;
DocumentWatch g_watch(DeliverAgain);

} // namespace

const std::wstring& CurrentDocumentPath() noexcept {
    return g_currentDocumentPath;
}

void SetCurrentDocument(HWND window, const std::wstring& path, const std::wstring& name,
                        DocumentRead delivered) noexcept {
    try {
        g_currentDocumentPath = FullPath(path);
    } catch (...) {
        g_currentDocumentPath.clear();
    }
    g_watch.Start(window, g_currentDocumentPath, name, std::move(delivered));
}

void CloseCurrentDocument() noexcept {
    g_currentDocumentPath.clear();
    g_watch.Stop();
}

void ShowCurrentDocumentAgain() noexcept {
    g_watch.ShowAgain();
}

bool HandleCurrentDocumentMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return g_watch.HandleMessage(message, wParam, lParam);
}
