// Back and Forward of the main window: every document it shows goes into its history (window_history.h),
// and moving through the history shows the documents again at the reader's places.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Opens the document at `path` (command line, a drop on the window, a link followed, a choice in the
// page's panel) as the newest entry of the history, at the heading or anchor that `fragment` names (a
// link's fragment as written; empty: the top). Does nothing without a web view.
void OpenNewDocument(const std::wstring& path, const std::wstring& fragment = {});

// Shows the entry before or after the current one, if there is one: a file of the host's is read again
// as it is on disk now (a new delivery) and shown at the place it was left, or the page's error screen
// names it when it is gone; a document the page read itself is shown again by the page.
void GoBack();
void GoForward();

// The page left the document of delivery `generation` (or its own document `own`) at `place`.
void RememberPlace(uint32_t generation, uint32_t own, const std::wstring& place);

// The page shows a document it read itself under the number `own`: it becomes the newest entry, and the
// host stops following its own file (nothing beside it is served any more).
void ShowOwnDocument(HWND mainWindow, uint32_t own, const std::wstring& name);
