#include "app/current_document.h"

#include "app/document_watch.h"
#include "app/open_document.h"
#include "platform/long_path.h"

#include <utility>

namespace {

uint32_t g_currentGeneration = 0; // the shown delivery's number; 0: none
uint32_t g_lastGeneration = 0;    // the last number given

std::wstring g_currentDocumentPath;

// A live reload: the same document, so the same number.
void DeliverAgain(const std::wstring& name, const std::string& bytes) noexcept {
    try {
        PostDocument(name, g_currentDocumentPath, bytes, g_currentGeneration);
    } catch (...) {
        // Out of memory for the message: the page keeps what it shows, as after a refused post.
    }
}

DocumentWatch g_watch(DeliverAgain);

} // namespace

const std::wstring& CurrentDocumentPath() noexcept {
    return g_currentDocumentPath;
}

uint32_t CurrentDocumentGeneration() noexcept {
    return g_currentGeneration;
}

uint32_t NextDocumentGeneration() noexcept {
    // Four thousand million documents outlast any session; past that, 0 (none) is skipped.
    g_lastGeneration = g_lastGeneration == UINT32_MAX ? 1 : g_lastGeneration + 1;
    return g_lastGeneration;
}

void SetCurrentDocument(HWND window, const std::wstring& path, const std::wstring& name, uint32_t generation,
                        DocumentRead delivered) noexcept {
    g_currentGeneration = generation;
    try {
        g_currentDocumentPath = FullPath(path);
    } catch (...) {
        g_currentDocumentPath.clear();
    }
    g_watch.Start(window, g_currentDocumentPath, name, std::move(delivered));
}

void CloseCurrentDocument() noexcept {
    g_currentDocumentPath.clear();
    g_currentGeneration = 0;
    g_watch.Stop();
}

void ShowCurrentDocumentAgain() noexcept {
    g_watch.ShowAgain();
}

bool HandleCurrentDocumentMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return g_watch.HandleMessage(message, wParam, lParam);
}
