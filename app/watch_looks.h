// What the document's watch looks at on a worker: every call here may wait on a disk or a share, and
// none touches the watch; each hands back what it found for the watch to take on the window's thread.
#pragma once

#include "app/read_settling.h"
#include "app/watched_folder.h"

#include <windows.h>

#include <string>

// As the watch begins: the path it reads by, the document's folder opened for notification, where its
// final path leads, and the file's stamp.
struct StartLook {
    bool followable = false; // a file's path with a folder: a folder has no content to follow
    std::wstring readPath;
    FolderOpening own;
    FinalPathLook final;
    FileStamp stamp;
};

// Looks at `fullPath` as the watch begins; its folder watchers report to `window` under the cookies
// given (FolderOpening::For, before the worker starts).
StartLook LookAtStart(const std::wstring& fullPath, HWND window, WPARAM ownCookie,
                      WPARAM finalCookie) noexcept;

// When notification is tried again after a delivery: the final path, when it was not found before, and
// the folders opened again.
struct ReopenLook {
    FinalPathLook final;
    FolderOpening folders[2];
};

// A check: the stamp before the read (unless `overdue`: then the file is read whatever it does), the
// read, and whether its bytes are those `shown` (none: nothing shown).
CheckedRead LookAndRead(const std::wstring& readPath, bool overdue, const FileStamp& looked,
                        const std::string* shown) noexcept;
