// The host's answers to the page: it is ready for the pending document, or the user closed the document.
#pragma once

#include "app/current_document.h"
#include "app/document_history.h"
#include "app/export_document.h"
#include "webhost/messages/page_message_actions.h"

#include <windows.h>

#include <string>

// Sets the page-ready flag and delivers a pending document once. The document stops being pending before
// its delivery starts, so one that fails (out of memory) is lost rather than delivered again by a later
// ready.
void OnPageReady();

// The page closed delivery `generation` (with its close button). When that is the current document's
// delivery: sets the main window's title back to "Tallowmere" and stops following the document: nothing
// beside it is served any more. Any other number (a delivery the host has replaced since the page sent the
// message, or none) changes nothing. Neither the flag nor the pending document changes.
void OnPageClosedDocument(HWND mainWindow, uint32_t generation);

// A link (or the page's panel) named a document: it is opened as if dropped on the window, at the heading
// its fragment names.
void OnPageLinkedDocument(const std::wstring& path, const std::wstring& fragment);

// The user reloaded the control: the current document is shown as it is on disk now, as a live reload
// shows it; without one nothing happens.
void OnPageReload();

// The answers, and where the current document lives, as the web view takes them.
inline constexpr PageMessageActions kPageMessageActions = {OnPageReady,
                                                           OnPageClosedDocument,
                                                           OnPageLinkedDocument,
                                                           CurrentDocumentPath,
                                                           CurrentDocumentGeneration,
                                                           OnPageReload,
                                                           GoBack,
                                                           GoForward,
                                                           RememberPlace,
                                                           ShowOwnDocument,
                                                           OnPageExportHtml,
                                                           OnPageExportPdf,
                                                           OnPagePaperSet,
                                                           ReadCurrentDocumentIn};
