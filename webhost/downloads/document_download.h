// Saving a file from beside the current document where the user chooses. Nothing of it waits on a disk
// on the window's thread: the file is opened on a worker (files that would not be served are never
// offered), the save dialog is shown from the window's procedure, and the copy runs on a thread of its
// own, through a temporary file, keeping the source's Mark-of-the-Web (see save_copy.h).
#pragma once

#include "webhost/serving/document_file.h"

#include <windows.h>

#include <string>

// Starts the save of the file that `uri` (under the document base) names beside `document`, offered
// as `saveName` in a save dialog owned by `mainWindow`, restricted to the file's own extension. One
// dialog at a time: a save asked for while one is open is dropped. A copy that fails leaves the
// destination as it was and no partial file, and says so in a message box.
void SaveDocumentFileLater(HWND mainWindow, std::wstring uri, ServedDocument document,
                           std::wstring saveName) noexcept;

// As the main window goes: every copy still running is cancelled and its temporary file removed. Waits
// up to two seconds for them on the calling (window's) thread; a copy held up longer on a dead share
// ends with the process, whose end removes its temporary file all the same.
void CancelDocumentSaves() noexcept;
