#include "app/document_watch.h"

#include "platform/device_removal.h"
#include "platform/long_path.h"

#include <utility>

namespace {

// Long enough to take in an editor's save or a tool writing in pieces as one change, short enough
// that the change shows well within a second.
constexpr UINT kSettleMilliseconds = 150;
// A burst of changes shows at the latest so long after it began, then again as it goes on.
constexpr ULONGLONG kLongestDelayMilliseconds = 1000;
// A file whose size and time hold still so long is taken to be written whole. Shorter than the pauses
// of a program that appends a line now and then, so that each of its lines shows.
constexpr UINT kQuietMilliseconds = 50;
// How long a file must stay empty before an empty document replaces shown content.
constexpr ULONGLONG kEmptyGraceMilliseconds = 400;
// Reads of a busy file are retried after 50 ms, then twice as long each time, up to once a second.
constexpr UINT kFirstRetryMilliseconds = 50;
constexpr UINT kLongestRetryMilliseconds = 1000;
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

bool SamePath(const std::wstring& a, const std::wstring& b) noexcept {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
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

// Splits a full path into the folder to watch and the entry in it, keeping the backslash of a drive's
// root (without it, the drive would name the volume itself). False for a path without a folder.
bool SplitPath(const std::wstring& path, std::wstring& folder, std::wstring& entry) {
    const size_t separator = path.find_last_of(L'\\');
    if (separator == std::wstring::npos) {
        return false;
    }
    folder = path.substr(0, separator);
    if (!folder.empty() && folder.back() == L':') {
        folder.push_back(L'\\');
    }
    entry = path.substr(separator + 1);
    return true;
}

WPARAM g_lastCookie = 0;

} // namespace

void DocumentWatch::Start(HWND window, const std::wstring& fullPath, const std::wstring& name,
                          DocumentRead delivered) noexcept {
    Stop();
    if (window == nullptr || fullPath.empty()) {
        return;
    }
    try {
        readPath_ = LongForm(ExtendedLengthPath(fullPath));
        if (IsFolder(readPath_) || !SplitPath(readPath_, folders_[0].path, folders_[0].entry)) {
            Stop(); // a folder has no content to follow
            return;
        }
        name_ = name;
    } catch (...) {
        Stop();
        return;
    }
    shown_ = std::move(delivered.bytes);
    window_ = window;
    if (!Watch(folders_[0])) {
        FallBackToPolling();
    }
    WatchFinalPath();
    looked_ = StampOfPath(readPath_);
    if (delivered.outcome == ReadOutcome::Busy) {
        // The delivery itself met a locked or changing file: the complete document follows shortly.
        burstStart_ = ::GetTickCount64();
        busyReads_ = 1;
        Arm(RetryDelay(busyReads_));
    } else if (looked_ != delivered.stamp) {
        // Changed between the delivery's read and the start of the watch.
        NoteChange();
    }
}

void DocumentWatch::Stop() noexcept {
    if (window_ != nullptr) {
        ::KillTimer(window_, kDocumentSettleTimer);
        ::KillTimer(window_, kDocumentPollTimer);
    }
    for (WatchedFolder& folder : folders_) {
        folder.removal.reset();
        folder.watcher.reset(); // waits for its thread
        folder.handle = nullptr;
        folder.released = false;
        folder.path.clear();
        folder.entry.clear();
    }
    window_ = nullptr;
    finalPathKnown_ = false;
    polling_ = false;
    armed_ = false;
    burstStart_ = 0;
    busyReads_ = 0;
    emptySince_ = 0;
    looked_ = {};
    showAgain_ = false;
    checkPutOff_ = false;
    readPath_.clear();
    name_.clear();
    std::string().swap(shown_); // a large document's bytes are not kept past their use
}

std::vector<HANDLE> DocumentWatch::heldFolders() const {
    std::vector<HANDLE> held;
    for (const WatchedFolder& folder : folders_) {
        if (folder.watcher) {
            held.push_back(folder.watcher->folder());
        }
    }
    return held;
}

void DocumentWatch::ShowAgain() noexcept {
    if (window_ == nullptr) {
        return;
    }
    showAgain_ = true;
    // As a change: the read waits for a save in progress like any other.
    NoteChange();
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
        for (WatchedFolder& folder : folders_) {
            if (window_ == nullptr || !folder.watcher || folder.cookie != wParam) {
                continue;
            }
            if (lParam == FolderWatcher::kWatchFailed) {
                folder.removal.reset();
                folder.watcher.reset();
                FallBackToPolling();
            }
            NoteChange();
        }
        return true;
    }
    if (message == WM_DEVICECHANGE) {
        return window_ != nullptr && HandleDeviceChange(wParam, lParam);
    }
    return false;
}

bool DocumentWatch::Watch(WatchedFolder& folder) noexcept {
    folder.removal.reset();
    folder.watcher.reset();
    folder.handle = nullptr;
    folder.released = false;
    folder.cookie = ++g_lastCookie;
    folder.watcher =
        FolderWatcher::Start(window_, kDocumentWatchMessage, folder.cookie, folder.path, folder.entry);
    if (!folder.watcher) {
        return false;
    }
    // Where the system offers no notice, the watch simply goes on without it.
    folder.handle = folder.watcher->folder();
    folder.removal = NotifyBeforeRemoval(window_, folder.handle);
    return true;
}

void DocumentWatch::WatchFinalPath() noexcept {
    WatchedFolder& target = folders_[1];
    try {
        const std::wstring resolved = FinalPath(readPath_);
        if (resolved.empty()) {
            return; // not there yet: tried again at the next delivery
        }
        finalPathKnown_ = true;
        if (SamePath(resolved, readPath_) || !SplitPath(resolved, target.path, target.entry)) {
            return;
        }
    } catch (...) {
        target.path.clear();
        return;
    }
    if (!Watch(target)) {
        FallBackToPolling();
    }
}

void DocumentWatch::RetryNotification() noexcept {
    if (!finalPathKnown_) {
        WatchFinalPath(); // the file was not there when the watch began
    }
    if (!polling_) {
        return;
    }
    bool all = true;
    for (WatchedFolder& folder : folders_) {
        if (folder.path.empty() || folder.watcher) {
            continue;
        }
        if (folder.released || !Watch(folder)) {
            all = false;
        }
    }
    if (all) {
        ::KillTimer(window_, kDocumentPollTimer);
        polling_ = false;
    }
}

bool DocumentWatch::HandleDeviceChange(WPARAM event, LPARAM lParam) noexcept {
    const DEV_BROADCAST_HANDLE* notice = HandleNotice(lParam);
    if (notice == nullptr) {
        return false;
    }
    bool ours = false;
    for (WatchedFolder& folder : folders_) {
        if (!(folder.handle != nullptr && notice->dbch_handle == folder.handle) &&
            !(folder.removal && notice->dbch_hdevnotify == folder.removal.get())) {
            continue;
        }
        ours = true;
        switch (event) {
        case DBT_DEVICEQUERYREMOVE:
            // The removal goes ahead only if no handle stays open on the device: let go at once. The
            // registration stays, to hear whether the removal went ahead. Until then no timer looks
            // at the device, lest a look hold it at the wrong moment: a check already due waits.
            folder.watcher.reset();
            folder.released = true;
            if (armed_) {
                ::KillTimer(window_, kDocumentSettleTimer);
                armed_ = false;
                checkPutOff_ = true;
            }
            break;
        case DBT_DEVICEQUERYREMOVEFAILED:
            // Something else kept the device in use: it stays, and so does the watch.
            if (folder.released && !Watch(folder)) {
                FallBackToPolling();
            }
            ResumeAfterRemoval();
            break;
        case DBT_DEVICEREMOVEPENDING:
        case DBT_DEVICEREMOVECOMPLETE:
            // Gone, with the document: the once-a-second look notices when it comes back, and the
            // delivery that follows tries notification again.
            folder.removal.reset();
            folder.watcher.reset();
            folder.handle = nullptr;
            folder.released = false;
            FallBackToPolling();
            ResumeAfterRemoval();
            break;
        default:
            break;
        }
    }
    return ours;
}

bool DocumentWatch::Releasing() const noexcept {
    for (const WatchedFolder& folder : folders_) {
        if (folder.released) {
            return true;
        }
    }
    return false;
}

void DocumentWatch::ResumeAfterRemoval() noexcept {
    if (checkPutOff_ && !Releasing()) {
        checkPutOff_ = false;
        NoteChange();
    }
}

void DocumentWatch::NoteChange() noexcept {
    const ULONGLONG now = ::GetTickCount64();
    if (burstStart_ == 0) {
        burstStart_ = now;
    }
    const ULONGLONG deadline = burstStart_ + kLongestDelayMilliseconds;
    if (now >= deadline) {
        // Overdue: look now, unless a look is due anyway (a retry is not hurried by further changes).
        if (!armed_) {
            Arm(0);
        }
        return;
    }
    // Each change in a burst postpones the read, up to the deadline.
    const ULONGLONG left = deadline - now;
    Arm(left < kSettleMilliseconds ? static_cast<UINT>(left) : kSettleMilliseconds);
}

void DocumentWatch::Arm(UINT milliseconds) noexcept {
    // Setting the timer again restarts it.
    armed_ = ::SetTimer(window_, kDocumentSettleTimer, milliseconds, nullptr) != 0;
}

void DocumentWatch::Poll() noexcept {
    if (armed_ || Releasing()) {
        return; // a check is due anyway (it compares with the look before it), or the device is going
    }
    const FileStamp now = StampOfPath(readPath_);
    if (now != looked_) {
        looked_ = now;
        NoteChange();
    }
}

void DocumentWatch::FallBackToPolling() noexcept {
    if (!polling_) {
        polling_ = ::SetTimer(window_, kDocumentPollTimer, kPollMilliseconds, nullptr) != 0;
    }
}

void DocumentWatch::Check() noexcept {
    ::KillTimer(window_, kDocumentSettleTimer);
    armed_ = false;
    if (Releasing()) {
        checkPutOff_ = true; // its timer message was already on its way
        return;
    }
    // Within the deadline the file must hold still from one look to the next; past it, a file written
    // without pause is taken as soon as one read of it is not disturbed.
    const bool overdue = burstStart_ != 0 && ::GetTickCount64() - burstStart_ >= kLongestDelayMilliseconds;
    FileStamp seen;
    if (!overdue) {
        seen = StampOfPath(readPath_);
        if (seen != looked_) {
            looked_ = seen;
            Arm(kQuietMilliseconds);
            return;
        }
    }
    DocumentRead read = ReadDocumentBytes(readPath_);
    if (read.stamp.exists || read.outcome == ReadOutcome::Absent) {
        looked_ = read.stamp;
    }
    switch (read.outcome) {
    case ReadOutcome::Absent:
        // Deleted, or half-way through a safe save: what is shown stays, and the file's return is a
        // change like any other.
        burstStart_ = 0;
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
    if (!overdue && read.stamp != seen) {
        Arm(kQuietMilliseconds); // written again between the look and the read
        return;
    }
    if (read.bytes == shown_ && !showAgain_) {
        burstStart_ = 0;
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
    burstStart_ = 0;
    emptySince_ = 0;
    showAgain_ = false;
    shown_ = std::move(read.bytes);
    deliver_(name_, shown_);
    RetryNotification();
}
