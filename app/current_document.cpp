#include "app/current_document.h"

#include "app/document_decoding.h"
#include "app/document_jobs.h"
#include "app/document_watch.h"
#include "app/open_document.h"
#include "app/page_outbox.h"
#include "platform/long_path.h"

#include <utility>

namespace {

uint32_t g_currentGeneration = 0; // the shown delivery's number; 0: none
uint32_t g_lastGeneration = 0;    // the last number given
std::wstring g_chosenEncoding;    // the reader's choice for the shown delivery; empty: none

std::wstring g_currentDocumentPath;

// A live reload: the same document, so the same number.
void DeliverAgain(const std::wstring& name, std::shared_ptr<const std::string> bytes) noexcept {
    PostDocumentAgain(name, g_currentDocumentPath, std::move(bytes), g_currentGeneration, g_chosenEncoding);
}

DocumentWatch g_watch(DeliverAgain, DocumentJobs());

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

void BeginCurrentDocument(const std::wstring& path, uint32_t generation) noexcept {
    CallOffDeliveries();
    g_watch.Stop();
    g_currentGeneration = generation;
    g_chosenEncoding.clear();
    try {
        g_currentDocumentPath = FullPath(path);
    } catch (...) {
        g_currentDocumentPath.clear();
    }
}

void WatchCurrentDocument(HWND window, uint32_t generation, const std::wstring& name,
                          DocumentRead delivered) noexcept {
    if (generation == 0 || generation != g_currentGeneration) {
        return;
    }
    g_watch.Start(window, g_currentDocumentPath, name, std::move(delivered));
}

void SetCurrentDocument(HWND window, const std::wstring& path, const std::wstring& name, uint32_t generation,
                        DocumentRead delivered) noexcept {
    BeginCurrentDocument(path, generation);
    WatchCurrentDocument(window, generation, name, std::move(delivered));
}

void CloseCurrentDocument() noexcept {
    CallOffDeliveries();
    g_currentDocumentPath.clear();
    g_currentGeneration = 0;
    g_chosenEncoding.clear();
    g_watch.Stop();
}

void ShowCurrentDocumentAgain() noexcept {
    g_watch.ShowAgain();
}

void ReadCurrentDocumentIn(uint32_t generation, const std::wstring& encoding) {
    if (generation == 0 || generation != g_currentGeneration || !IsKnownEncoding(encoding)) {
        return;
    }
    g_chosenEncoding = encoding;
    g_watch.ShowAgain();
}

bool HandleCurrentDocumentMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return g_watch.HandleMessage(message, wParam, lParam);
}
