// The current document: the one the host last delivered to the page and the page has not closed since.
// While there is one, it is watched on disk and delivered again whenever its bytes change.
#pragma once

#include "app/document_text.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Its full path, resolved when it was delivered; empty when there is none.
const std::wstring& CurrentDocumentPath() noexcept;

// The number of its delivery, which the page puts into every address beside it; 0 when there is none.
// Every document the host opens (command line, drop, link; the same file again too) gets a new number;
// its live-reload deliveries keep it, which tells the page to keep the reader's place.
uint32_t CurrentDocumentGeneration() noexcept;

// The number for the next document opened: one more than the last one given.
uint32_t NextDocumentGeneration() noexcept;

// A document is being opened from `path` under `generation`: it becomes the current document at once (its
// number and its full path), and the one before is no longer watched. Its delivery follows.
void BeginCurrentDocument(const std::wstring& path, uint32_t generation) noexcept;

// Delivery `generation` reached the page under `name` with what `delivered` read: when it is still the
// current document's, the document is watched through `window`'s messages from now on.
void WatchCurrentDocument(HWND window, uint32_t generation, const std::wstring& name,
                          DocumentRead delivered) noexcept;

// Both at once: `path` was just delivered under `name` and `generation` with what `delivered` read.
void SetCurrentDocument(HWND window, const std::wstring& path, const std::wstring& name, uint32_t generation,
                        DocumentRead delivered) noexcept;

// The page closed the document or opened one of its own, or the window goes: no current document, no
// watching.
void CloseCurrentDocument() noexcept;

// Reads the current document again soon and delivers it even when its bytes have not changed, as a live
// reload does (the page keeps the reader's place). Nothing without a current document.
void ShowCurrentDocumentAgain() noexcept;

// The reader chose `encoding` for delivery `generation`: when that is the current document's and the name
// is known, the document is read again, in it, as ShowCurrentDocumentAgain reads it; its live reloads
// keep the choice until another document is opened. Anything else changes nothing.
void ReadCurrentDocumentIn(uint32_t generation, const std::wstring& encoding);

// Takes the window messages of the watch (its timers, its thread's reports); false for any other.
bool HandleCurrentDocumentMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
