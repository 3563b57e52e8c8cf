// Live reload: the delivered document is watched on disk and delivered again when its bytes change.
//
// Everything here runs on the window's thread, driven by its messages: two timers of the window and the
// reports of a folder watcher thread. A change (or a hint of one) starts a short settle delay that every
// further change restarts, so a burst of writes gives one read. That read must be complete: a file that
// is locked, held open by a writer, or changes while being read is tried again shortly; a file found
// empty while content is shown must stay empty a moment before it counts (editors truncate, then
// write); a missing file leaves the last content on screen until it comes back. Only bytes different
// from those last delivered are delivered. Where the folder cannot be watched, the file's size and time
// are looked at once a second instead.
#pragma once

#include "app/document_text.h"
#include "app/file_stamp.h"
#include "app/folder_watcher.h"

#include <windows.h>

#include <memory>
#include <string>

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

    // Takes the watch's own messages; false for every other message.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // For tests: whether a file is watched, and whether by the once-a-second look.
    bool watching() const noexcept { return window_ != nullptr; }
    bool polling() const noexcept { return polling_; }

private:
    void Arm(UINT milliseconds) noexcept;
    void Check() noexcept;
    void Poll() noexcept;
    void FallBackToPolling() noexcept;

    DeliverFunction deliver_;
    HWND window_ = nullptr;
    std::wstring readPath_; // extended-length form
    std::wstring name_;
    std::string shown_; // the bytes last delivered
    FileStamp polled_;  // the file as the once-a-second look last found it
    std::unique_ptr<FolderWatcher> watcher_;
    bool polling_ = false;
    WPARAM cookie_ = 0; // tells this watch's reports from those of an earlier one still queued
    unsigned busyReads_ = 0;
    ULONGLONG emptySince_ = 0; // when the file was first found empty while content is shown; 0: not
};
