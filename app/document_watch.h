// Live reload: the delivered document is watched on disk and delivered again when its bytes change.
//
// Everything here runs on the window's thread, driven by its messages: two timers of the window, the
// reports of folder watcher threads and the system's notices of device removal. A change (or a hint of
// one) starts a short settle delay that every further change restarts, so a burst of writes gives one
// read; but never later than a second after the burst began, so that a file written without pause
// still shows, about once a second. The read must be complete, judged without ever standing in a
// writer's way: the file's size and time must hold still across a short wait, and must not change
// while it is read (a file written without pause is taken whenever a read is not disturbed, once the
// second is up). A file that is locked against reading is tried again shortly; a file found empty
// while content is shown must stay empty a moment before it counts (editors truncate, then write); a
// missing file leaves the last content on screen until it comes back. Only bytes different from those
// last delivered are delivered.
//
// The document's folder is watched with change notification, and so is the folder of its final path
// when a symbolic link (of the file or of a folder on the way) leads elsewhere: a save to the target
// shows too. Where notification breaks or is not available, the file's size and time are looked at once
// a second instead, and notification is tried again at each delivery. A watched folder on a device the
// user asks to remove is let go at once, and no timer looks at the file until the removal completes or
// fails, so that the watch never keeps the device in use.
#pragma once

#include "app/document_text.h"
#include "app/file_stamp.h"
#include "app/folder_watcher.h"
#include "platform/unique_handle.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// The messages and timers the watch uses on its window.
inline constexpr UINT kDocumentWatchMessage = WM_APP + 0x10;
inline constexpr UINT_PTR kDocumentSettleTimer = 0x4C52;
inline constexpr UINT_PTR kDocumentPollTimer = 0x4C53;

class DocumentWatch {
public:
    // Hands changed bytes to the page, under the name the document was first delivered with.
    using DeliverFunction = void (*)(const std::wstring& name, const std::string& bytes) noexcept;

    explicit DocumentWatch(DeliverFunction deliver) noexcept : deliver_(deliver) {}
    ~DocumentWatch() { Stop(); }
    DocumentWatch(const DocumentWatch&) = delete;
    DocumentWatch& operator=(const DocumentWatch&) = delete;

    // Watches `fullPath`, just delivered under `name` with what `delivered` read, in place of whatever
    // was watched before. Nothing is watched without a window, or when the path names a folder.
    void Start(HWND window, const std::wstring& fullPath, const std::wstring& name,
               DocumentRead delivered) noexcept;

    // Stops watching; no delivery follows.
    void Stop() noexcept;

    // Reads the file now, as after a change, and delivers it even when its bytes are those last delivered
    // (the user asked to see it again). Nothing when no file is watched.
    void ShowAgain() noexcept;

    // Takes the watch's own messages (and looks at every WM_DEVICECHANGE); false for every other message.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // For tests: whether a file is watched, whether by the once-a-second look, and the folders held
    // open for change notification.
    bool watching() const noexcept { return window_ != nullptr; }
    bool polling() const noexcept { return polling_; }
    std::vector<HANDLE> heldFolders() const;

private:
    // A folder watched for the document's entry in it.
    struct WatchedFolder {
        std::wstring path;
        std::wstring entry;
        std::unique_ptr<FolderWatcher> watcher;
        WPARAM cookie = 0; // tells this watcher's reports from those of an earlier one still queued
        // The folder's handle as it was registered for notice of removal; the notices name it even
        // after it has been closed.
        HANDLE handle = nullptr;
        UniqueDeviceNotification removal;
        bool released = false; // let go because its device is about to be removed
    };

    bool Watch(WatchedFolder& folder) noexcept;
    void WatchFinalPath() noexcept;
    void RetryNotification() noexcept;
    bool HandleDeviceChange(WPARAM event, LPARAM lParam) noexcept;
    bool Releasing() const noexcept;
    void ResumeAfterRemoval() noexcept;
    void NoteChange() noexcept;
    void Arm(UINT milliseconds) noexcept;
    void Check() noexcept;
    void Poll() noexcept;
    void FallBackToPolling() noexcept;

    DeliverFunction deliver_;
    HWND window_ = nullptr;
    std::wstring readPath_; // extended-length form
    std::wstring name_;
    std::string shown_; // the bytes last delivered
    // The document's own folder, then the folder of its final path when that is elsewhere.
    WatchedFolder folders_[2];
    FileStamp looked_;            // the file as the last look (poll, check or read) found it
    bool finalPathKnown_ = false; // the final path was found (once is enough: it costs a disk access)
    bool polling_ = false;
    bool armed_ = false;       // the settle timer runs
    ULONGLONG burstStart_ = 0; // when the first change not yet shown was noticed; 0: none
    bool showAgain_ = false;   // deliver the next complete read even when unchanged
    bool checkPutOff_ = false; // a check fell due while a folder was let go: it follows when that ends
    unsigned busyReads_ = 0;
    ULONGLONG emptySince_ = 0; // when the file was first found empty while content is shown; 0: not
};
