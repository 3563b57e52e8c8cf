// Process-wide host state. Every item lives for the whole process and is touched only on the
// user-interface thread, so none of it needs a lock.
#pragma once

#include <windows.h>

#include <string>

// The main window, stored once right after it is created.
extern HWND g_mainWindow;

// A document waiting for the page to report that it is ready; empty means nothing is pending. Kept
// exactly as it arrived (it may be relative) and resolved only when it is read.
extern std::wstring g_pendingDocumentPath;

// Set when the page first reports that it is ready; never cleared.
extern bool g_pageReady;
