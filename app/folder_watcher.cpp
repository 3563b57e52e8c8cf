#include "app/folder_watcher.h"

#include <cstddef>
#include <new>

namespace {

// Creation, deletion and renaming (names), writes and size changes: every way a file's content changes.
constexpr DWORD kNotifyFilter =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

// More changes than the buffer holds: the system dropped their names. Local file systems complete the
// read empty, network shares (and Wine) fail it with ERROR_NOTIFY_ENUM_DIR. Either way the watch goes
// on, and the entry may have changed.
bool LostCount(BOOL completed, DWORD bytes, DWORD error) noexcept {
    return completed ? bytes == 0 : error == ERROR_NOTIFY_ENUM_DIR;
}

} // namespace

std::unique_ptr<FolderWatcher> FolderWatcher::Start(HWND window, UINT message, WPARAM cookie,
                                                    const std::wstring& folder, const std::wstring& entry,
                                                    DWORD bufferBytes) noexcept {
    std::unique_ptr<FolderWatcher> watcher(new (std::nothrow) FolderWatcher());
    if (!watcher) {
        return nullptr;
    }
    try {
        watcher->entry_ = entry;
    } catch (...) {
        return nullptr;
    }
    watcher->bufferBytes_ = bufferBytes / sizeof(DWORD) * sizeof(DWORD);
    watcher->buffer_.reset(new (std::nothrow) DWORD[watcher->bufferBytes_ / sizeof(DWORD) + 1]);
    if (!watcher->buffer_) {
        return nullptr;
    }
    watcher->window_ = window;
    watcher->message_ = message;
    watcher->cookie_ = cookie;
    watcher->folder_.reset(::CreateFileW(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    watcher->changed_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    watcher->stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!watcher->folder_ || !watcher->changed_ || !watcher->stop_) {
        return nullptr;
    }
    watcher->overlapped_.hEvent = watcher->changed_.get();
    // Armed here, not on the thread, so that a file system without notification is known at once and
    // no change after this call is missed.
    if (!watcher->Arm()) {
        return nullptr;
    }
    watcher->thread_.reset(::CreateThread(nullptr, 0, ThreadMain, watcher.get(), 0, nullptr));
    if (!watcher->thread_) {
        return nullptr; // the destructor cancels the armed read
    }
    return watcher;
}

FolderWatcher::~FolderWatcher() {
    if (thread_) {
        ::SetEvent(stop_.get());
        ::WaitForSingleObject(thread_.get(), INFINITE);
    }
    if (pending_) {
        // The system must be done with the buffer before it goes.
        DWORD ignored = 0;
        ::CancelIoEx(folder_.get(), &overlapped_);
        ::GetOverlappedResult(folder_.get(), &overlapped_, &ignored, TRUE);
    }
}

bool FolderWatcher::Arm() noexcept {
    ::ResetEvent(changed_.get());
    pending_ = ::ReadDirectoryChangesW(folder_.get(), buffer_.get(), bufferBytes_, FALSE, kNotifyFilter,
                                       nullptr, &overlapped_, nullptr) != FALSE;
    return pending_;
}

bool FolderWatcher::NamesEntry(DWORD bytes) const noexcept {
    const int entryLength = static_cast<int>(entry_.size());
    DWORD offset = 0;
    while (offset + sizeof(FILE_NOTIFY_INFORMATION) <= bytes) {
        const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(
            reinterpret_cast<const std::byte*>(buffer_.get()) + offset);
        const DWORD nameBytes = record->FileNameLength;
        if (offset + offsetof(FILE_NOTIFY_INFORMATION, FileName) + nameBytes > bytes) {
            return true; // a record cut short: better one check too many than a change missed
        }
        // File names compare without regard to case, as the file system does.
        if (::CompareStringOrdinal(record->FileName, static_cast<int>(nameBytes / sizeof(wchar_t)),
                                   entry_.c_str(), entryLength, TRUE) == CSTR_EQUAL) {
            return true;
        }
        if (record->NextEntryOffset == 0) {
            return false;
        }
        offset += record->NextEntryOffset;
    }
    return false;
}

void FolderWatcher::Run() noexcept {
    const HANDLE waits[] = {stop_.get(), changed_.get()};
    for (;;) {
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            return; // asked to stop
        }
        DWORD bytes = 0;
        const BOOL completed = ::GetOverlappedResult(folder_.get(), &overlapped_, &bytes, FALSE);
        const DWORD error = completed ? ERROR_SUCCESS : ::GetLastError();
        pending_ = false;
        const bool lost = LostCount(completed, bytes, error);
        if (!completed && !lost) {
            ::PostMessageW(window_, message_, cookie_, kWatchFailed);
            return;
        }
        // Decided before re-arming, which lets the system write the next batch into the buffer. A lost
        // count means "look now": it comes only of changes, so re-arming after it never spins.
        const bool ours = lost || NamesEntry(bytes);
        if (!Arm()) {
            ::PostMessageW(window_, message_, cookie_, kWatchFailed);
            return;
        }
        if (ours) {
            ::PostMessageW(window_, message_, cookie_, kEntryChanged);
        }
    }
}

DWORD WINAPI FolderWatcher::ThreadMain(void* watcher) noexcept {
    static_cast<FolderWatcher*>(watcher)->Run();
    return 0;
}
