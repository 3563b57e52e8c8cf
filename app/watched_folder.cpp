#include "app/watched_folder.h"

#include "platform/device_removal.h"
#include "platform/long_path.h"

namespace {

WPARAM g_lastCookie = 0;

bool SamePath(const std::wstring& a, const std::wstring& b) noexcept {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

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

} // namespace

bool WatchedFolder::IsNamedBy(const DEV_BROADCAST_HANDLE& notice) const noexcept {
    return (handle != nullptr && notice.dbch_handle == handle) ||
           (removal && notice.dbch_hdevnotify == removal.get());
}

void WatchedFolder::LetGo(bool keepNotice) noexcept {
    if (!keepNotice) {
        removal.reset();
        handle = nullptr;
    }
    watcher.reset(); // waits for its thread
    cookie = ++g_lastCookie;
}

void WatchedFolder::Clear() noexcept {
    LetGo(false);
    released = false;
    path.clear();
    entry.clear();
}

FolderOpening FolderOpening::For(WatchedFolder& folder) {
    FolderOpening opening;
    opening.path = folder.path;
    opening.entry = folder.entry;
    folder.cookie = ++g_lastCookie;
    opening.cookie = folder.cookie;
    return opening;
}

void FolderOpening::Open(HWND window) noexcept {
    if (cookie != 0 && !path.empty()) {
        watcher = FolderWatcher::Start(window, kDocumentWatchMessage, cookie, path, entry);
    }
}

bool FolderOpening::InstallInto(WatchedFolder& folder, HWND window) noexcept {
    folder.removal.reset();
    folder.watcher = std::move(watcher);
    folder.handle = nullptr;
    folder.released = false;
    if (!folder.watcher) {
        return false;
    }
    // Where the system offers no notice, the watch simply goes on without it.
    folder.handle = folder.watcher->folder();
    folder.removal = NotifyBeforeRemoval(window, folder.handle);
    return true;
}

std::wstring WatchedPath(const std::wstring& fullPath) {
    return LongForm(ExtendedLengthPath(fullPath));
}

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

bool IsFolder(const std::wstring& path) noexcept {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FinalPathLook LookAtFinalPath(const std::wstring& readPath, WPARAM cookie, HWND window) noexcept {
    FinalPathLook look;
    try {
        const std::wstring resolved = FinalPath(readPath);
        if (resolved.empty()) {
            return look; // not there yet: tried again at the next delivery
        }
        look.known = true;
        if (SamePath(resolved, readPath) || !SplitPath(resolved, look.elsewhere.path, look.elsewhere.entry)) {
            look.elsewhere.path.clear();
            return look;
        }
    } catch (...) {
        look.elsewhere.path.clear();
        return look;
    }
    look.elsewhere.cookie = cookie;
    look.elsewhere.Open(window);
    return look;
}
