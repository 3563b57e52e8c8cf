// Live reload: the delivered document is watched on disk and delivered again when its bytes change.
//
// The watch lives on the window's thread, driven by its messages: two timers of the window, the reports
// of folder watcher threads (watched_folder.h) and the system's notices of device removal. Every look at
// the disk (the file's size and time, its read, the opening of its folders) runs as a job on a worker,
// and its result comes back to the window's thread; one look or read at a time, and a result of a watch
// that has since stopped or moved on is dropped. When a read is complete is judged as read_settling.h
// says; a missing file leaves the last content on screen until it comes back, and only bytes different
// from those last delivered are delivered.
//
// Where change notification breaks or is not available, the file's size and time are looked at once a
// second instead, and notification is tried again at each delivery. A watched folder on a device the user
// asks to remove is let go at once, and no timer looks at the file until the removal completes or fails,
// so that the watch never keeps the device in use.
#pragma once

#include "app/document_text.h"
#include "app/file_stamp.h"
#include "app/read_settling.h"
#include "app/watch_looks.h"
#include "app/watched_folder.h"
#include "webhost/tasks/worker_jobs.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// The timers the watch uses on its window (its folder watchers' message is kDocumentWatchMessage).
inline constexpr UINT_PTR kDocumentSettleTimer = 0x4C52;
inline constexpr UINT_PTR kDocumentPollTimer = 0x4C53;

class DocumentWatch {
public:
    // Hands changed bytes to the page, under the name the document was first delivered with.
    using DeliverFunction = void (*)(const std::wstring& name,
                                     std::shared_ptr<const std::string> bytes) noexcept;

    // Looks at the disk through `jobs`, which must outlive the watch's last job.
    DocumentWatch(DeliverFunction deliver, JobRunner& jobs) noexcept : deliver_(deliver), jobs_(jobs) {}
    ~DocumentWatch() { Stop(); }
    DocumentWatch(const DocumentWatch&) = delete;
    DocumentWatch& operator=(const DocumentWatch&) = delete;

    // Watches `fullPath`, just delivered under `name` with what `delivered` read, in place of whatever
    // was watched before. Nothing is watched without a window, or when the path names a folder (found on
    // a worker: the watch then stops).
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
    void Started(StartLook&& look, ReadOutcome deliveredOutcome, const FileStamp& deliveredStamp) noexcept;
    void ApplyFinalPath(FinalPathLook& look) noexcept;
    void RetryNotification() noexcept;
    void Reopened(ReopenLook&& look) noexcept;
    void ReopenAfterFailedRemoval(size_t index) noexcept;
    bool HandleDeviceChange(WPARAM event, LPARAM lParam) noexcept;
    bool Releasing() const noexcept;
    void ResumeAfterRemoval() noexcept;
    void NoteChange() noexcept;
    void Arm(UINT milliseconds) noexcept;
    void Check() noexcept;
    void Checked(bool overdue, CheckedRead&& checked) noexcept;
    bool TakeWaitingCheck() noexcept;
    void Poll() noexcept;
    void FallBackToPolling() noexcept;

    DeliverFunction deliver_;
    JobRunner& jobs_;
    HWND window_ = nullptr;
    unsigned epoch_ = 0;    // counts starts and stops: a job of an earlier one finds it changed
    std::wstring readPath_; // extended-length, long-named form; empty until the start's look is back
    std::wstring name_;
    std::shared_ptr<const std::string> shown_; // the bytes last delivered, shared with a read comparing them
    // The document's own folder, then the folder of its final path when that is elsewhere.
    WatchedFolder folders_[2];
    FileStamp looked_;            // the file as the last look (poll, check or read) found it
    bool finalPathKnown_ = false; // the final path was found (once is enough: it costs a disk access)
    bool polling_ = false;
    bool armed_ = false;        // the settle timer runs
    bool looking_ = false;      // the start's look, a check or a poll is on a worker
    bool checkWaiting_ = false; // the settle timer fell due meanwhile: a check follows that look
    bool checkPutOff_ = false;  // a check fell due while a folder was let go: it follows when that ends
    ReadSettling settling_;
};
