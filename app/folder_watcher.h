// Change notification for one entry of a folder, from a thread of its own. The thread only waits and
// posts: each batch of changes that names the entry (or may have: the system lost count) becomes one
// message to a window, whose own thread does everything else.
#pragma once

#include "platform/unique_handle.h"

#include <windows.h>

#include <memory>
#include <string>

class FolderWatcher {
public:
    // The lParam of the posted message; its wParam is the caller's cookie.
    static constexpr LPARAM kEntryChanged = 1;
    // The watch broke (the folder went away, the system stopped reporting); nothing follows. A lost
    // count (more changes than the buffer holds) is not a break: it is reported as kEntryChanged.
    static constexpr LPARAM kWatchFailed = 2;

    // Watches `folder` (a full path, extended-length form welcome) for changes to the entry named
    // `entry`: created, written, resized, deleted, renamed to or from. Null when the folder cannot be
    // watched: it does not exist, or its file system offers no change notification (some network
    // shares). `bufferBytes` is for tests, which lose count at will with a buffer too small for any
    // change.
    static std::unique_ptr<FolderWatcher> Start(HWND window, UINT message, WPARAM cookie,
                                                const std::wstring& folder, const std::wstring& entry,
                                                DWORD bufferBytes = kBufferBytes) noexcept;

    // The folder held open, e.g. to ask for notice before its device is removed.
    HANDLE folder() const noexcept { return folder_.get(); }

    // Stops the thread and waits for it: nothing is posted after this returns.
    ~FolderWatcher();

    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // Enough for a few hundred changes between two wake-ups; network shares take at most 64 KiB.
    static constexpr DWORD kBufferBytes = 16 * 1024;

private:
    FolderWatcher() = default;
    bool Arm() noexcept;
    bool NamesEntry(DWORD bytes) const noexcept;
    void Run() noexcept;
    static DWORD WINAPI ThreadMain(void* watcher) noexcept;

    HWND window_ = nullptr;
    UINT message_ = 0;
    WPARAM cookie_ = 0;
    std::wstring entry_;
    UniqueFile folder_;
    UniqueKernelHandle changed_; // signalled when the pending read of changes completes
    UniqueKernelHandle stop_;
    UniqueKernelHandle thread_;
    OVERLAPPED overlapped_{};
    bool pending_ = false;            // a read of changes is outstanding and may still write into buffer_
    std::unique_ptr<DWORD[]> buffer_; // DWORD-aligned, as the records require
    DWORD bufferBytes_ = 0;
};
