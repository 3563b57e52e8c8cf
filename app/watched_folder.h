// The folders a document's watch follows: the document's own folder, and the folder of its final path
// when a symbolic link (of the file or of a folder on the way) leads elsewhere, so that a save to the
// target shows too. Opening a folder (and finding the final path) may wait on a disk or a share, so it
// is done on a worker, into a FolderOpening, and installed on the window's thread.
#pragma once

#include "app/folder_watcher.h"
#include "platform/unique_handle.h"

#include <windows.h>
#include <dbt.h>

#include <memory>
#include <string>

// The message a folder watcher posts to the watch's window.
inline constexpr UINT kDocumentWatchMessage = WM_APP + 0x10;

// A folder watched for the document's entry in it. Lives on the window's thread.
struct WatchedFolder {
    std::wstring path;
    std::wstring entry;
    std::unique_ptr<FolderWatcher> watcher;
    // Tells this watcher's reports (and the opening on its way) from those of an earlier one still queued.
    WPARAM cookie = 0;
    // The folder's handle as it was registered for notice of removal; the notices name it even after it
    // has been closed.
    HANDLE handle = nullptr;
    UniqueDeviceNotification removal;
    bool released = false; // let go because its device is about to be removed

    // Whether a device notice names this folder.
    bool IsNamedBy(const DEV_BROADCAST_HANDLE& notice) const noexcept;
    // Lets go of the folder's watcher, and of its notice unless `keepNotice`; an opening on its way is
    // no longer awaited.
    void LetGo(bool keepNotice) noexcept;
    // Forgets everything.
    void Clear() noexcept;
};

// A folder being opened for change notification on a worker.
struct FolderOpening {
    WPARAM cookie = 0; // the folder's cookie when the opening began; 0: nothing to open
    std::wstring path;
    std::wstring entry;
    std::unique_ptr<FolderWatcher> watcher; // null: the folder cannot be watched

    // Asks `folder`'s path to be opened under a new cookie, which the folder takes.
    static FolderOpening For(WatchedFolder& folder);
    // On a worker: opens the folder; its watcher reports to `window`.
    void Open(HWND window) noexcept;
    // Whether `folder` still waits for this opening (no later one, no other watch since).
    bool IsAwaitedBy(const WatchedFolder& folder) const noexcept {
        return cookie != 0 && folder.cookie == cookie;
    }
    // On the window's thread: hands the watcher to `folder`, and registers for notice of removal of its
    // device through `window`. False when the folder could not be opened.
    bool InstallInto(WatchedFolder& folder, HWND window) noexcept;
};

// The extended-length, long-named form of a document's path: change notification names files by their
// long names, and a path given with short (8.3) names would never match. Touches the disk.
std::wstring WatchedPath(const std::wstring& fullPath);

// Splits a full path into the folder to watch and the entry in it, keeping the backslash of a drive's
// root (without it, the drive would name the volume itself). False for a path without a folder.
bool SplitPath(const std::wstring& path, std::wstring& folder, std::wstring& entry);

// Whether the path names a folder. Touches the disk.
bool IsFolder(const std::wstring& path) noexcept;

// Where a document's final path leads. Touches the disk.
struct FinalPathLook {
    bool known = false;      // the file was there to be resolved (once is enough: it costs a disk access)
    FolderOpening elsewhere; // the folder of the final path when it differs; cookie 0 otherwise
};

// On a worker: resolves `readPath` and opens the folder of its target when it lies elsewhere, for a
// folder whose cookie the caller gave (FolderOpening::For, before the worker starts).
FinalPathLook LookAtFinalPath(const std::wstring& readPath, WPARAM cookie, HWND window) noexcept;
