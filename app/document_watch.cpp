#include "app/document_watch.h"

#include "platform/long_path.h"

#include <utility>

namespace {

// Long enough to take in an editor's save or a tool writing in pieces as one change, short enough
// that the change shows well within a second.
constexpr UINT kSettleMilliseconds = 150;
// How long a file must stay empty before an empty document replaces shown content.
constexpr ULONGLONG kEmptyGraceMilliseconds = 400;
// Reads of a busy file are retried after 50 ms, then twice as long each time, up to once a second.
constexpr UINT kFirstRetryMilliseconds = 50;
constexpr UINT kLongestRetryMilliseconds = 1000;
// So many reads put off because a writer holds the file open, and the writer is taken to hold it for
// good (as some programs do): the file is then read all the same.
constexpr unsigned kReadsWaitingForWriters = 5;
// Where change notification is not available.
constexpr UINT kPollMilliseconds = 1000;

UINT RetryDelay(unsigned busyReads) noexcept {
    UINT delay = kFirstRetryMilliseconds;
    for (unsigned i = 1; i < busyReads && delay < kLongestRetryMilliseconds; ++i) {
        delay *= 2;
    }
    return delay < kLongestRetryMilliseconds ? delay : kLongestRetryMilliseconds;
}

bool IsFolder(const std::wstring& path) noexcept {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Change notification names files by their long names; a path given with short (8.3) names would
// never match.
std::wstring LongForm(const std::wstring& path) {
    const DWORD needed = ::GetLongPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) {
        return path;
    }
    std::wstring longPath(needed, L'\0');
    const DWORD written = ::GetLongPathNameW(path.c_str(), longPath.data(), needed);
    if (written == 0 || written >= needed) {
        return path;
    }
    longPath.resize(written);
    return longPath;
}

// The folder to watch: the path without its last component, keeping the backslash of a drive's root
// (without it, the drive would name the volume itself).
std::wstring FolderOf(const std::wstring& path, size_t lastSeparator) {
    std::wstring folder = path.substr(0, lastSeparator);
    if (!folder.empty() && folder.back() == L':') {
        folder.push_back(L'\\');
    }
    return folder;
}

WPARAM g_lastCookie = 0;

} // namespace

void DocumentWatch::Start(HWND window, const std::wstring& fullPath, const std::wstring& name,
                          DocumentRead delivered) noexcept {
    Stop();
    if (window == nullptr || fullPath.empty()) {
        return;
    }
    std::wstring folder;
    std::wstring entry;
    try {
        readPath_ = LongForm(ExtendedLengthPath(fullPath));
        if (IsFolder(readPath_)) {
            readPath_.clear();
            return; // a folder has no content to follow
        }
        const size_t separator = readPath_.find_last_of(L'\\');
        if (separator == std::wstring::npos) {
            readPath_.clear();
            return;
        }
        folder = FolderOf(readPath_, separator);
        entry = readPath_.substr(separator + 1);
        name_ = name;
    } catch (...) {
        readPath_.clear();
        return;
    }
    shown_ = std::move(delivered.bytes);
    window_ = window;
    cookie_ = ++g_lastCookie;
    watcher_ = FolderWatcher::Start(window, kDocumentWatchMessage, cookie_, folder, entry);
    if (!watcher_) {
        FallBackToPolling();
    }
    polled_ = StampOfPath(readPath_);
    if (delivered.outcome == ReadOutcome::Busy) {
        // The delivery itself met a locked or changing file: the complete document follows shortly.
        busyReads_ = 1;
        Arm(RetryDelay(busyReads_));
    } else if (polled_ != delivered.stamp) {
        // Changed between the delivery's read and the start of the watch.
        Arm(kSettleMilliseconds);
    }
}

void DocumentWatch::Stop() noexcept {
    if (window_ != nullptr) {
        ::KillTimer(window_, kDocumentSettleTimer);
        ::KillTimer(window_, kDocumentPollTimer);
    }
    watcher_.reset(); // waits for its thread
    window_ = nullptr;
    polling_ = false;
    busyReads_ = 0;
    emptySince_ = 0;
    polled_ = {};
    readPath_.clear();
    name_.clear();
    std::string().swap(shown_); // a large document's bytes are not kept past their use
}

bool DocumentWatch::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_TIMER && (wParam == kDocumentSettleTimer || wParam == kDocumentPollTimer)) {
        // A timer message may still be queued from a watch that has stopped.
        if (window_ != nullptr) {
            if (wParam == kDocumentSettleTimer) {
                Check();
            } else {
                Poll();
            }
        }
        return true;
    }
    if (message == kDocumentWatchMessage) {
        if (window_ != nullptr && wParam == cookie_) {
            if (lParam == FolderWatcher::kWatchFailed) {
                FallBackToPolling();
            }
            Arm(kSettleMilliseconds);
        }
        return true;
    }
    return false;
}

void DocumentWatch::Arm(UINT milliseconds) noexcept {
    // Setting the timer again restarts it: each change in a burst postpones the read.
    ::SetTimer(window_, kDocumentSettleTimer, milliseconds, nullptr);
}

void DocumentWatch::Poll() noexcept {
    // Compared with the last look, not with the last read, so that both stamps come from one query.
    const FileStamp now = StampOfPath(readPath_);
    if (now != polled_) {
        polled_ = now;
        Arm(kSettleMilliseconds);
    }
}

void DocumentWatch::FallBackToPolling() noexcept {
    watcher_.reset();
    if (!polling_) {
        polling_ = ::SetTimer(window_, kDocumentPollTimer, kPollMilliseconds, nullptr) != 0;
    }
}

void DocumentWatch::Check() noexcept {
    ::KillTimer(window_, kDocumentSettleTimer);
    const Writers writers = busyReads_ < kReadsWaitingForWriters ? Writers::Wait : Writers::Tolerate;
    DocumentRead read = ReadDocumentBytes(readPath_, writers);
    switch (read.outcome) {
    case ReadOutcome::Absent:
        // Deleted, or half-way through a safe save: what is shown stays, and the file's return is a
        // change like any other.
        busyReads_ = 0;
        emptySince_ = 0;
        return;
    case ReadOutcome::Busy:
        ++busyReads_;
        Arm(RetryDelay(busyReads_));
        return;
    case ReadOutcome::Complete:
        break;
    }
    busyReads_ = 0;
    if (read.bytes == shown_) {
        emptySince_ = 0;
        return; // touched, or changed and changed back: nothing to show
    }
    if (read.bytes.empty()) {
        const ULONGLONG now = ::GetTickCount64();
        if (emptySince_ == 0) {
            emptySince_ = now;
        }
        const ULONGLONG waited = now - emptySince_;
        if (waited < kEmptyGraceMilliseconds) {
            Arm(static_cast<UINT>(kEmptyGraceMilliseconds - waited));
            return;
        }
    }
    emptySince_ = 0;
    shown_ = std::move(read.bytes);
    deliver_(name_, shown_);
}
