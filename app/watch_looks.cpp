#include "app/watch_looks.h"

StartLook LookAtStart(const std::wstring& fullPath, HWND window, WPARAM ownCookie,
                      WPARAM finalCookie) noexcept {
    StartLook look;
    try {
        look.readPath = WatchedPath(fullPath);
        if (IsFolder(look.readPath) || !SplitPath(look.readPath, look.own.path, look.own.entry)) {
            return look;
        }
    } catch (...) {
        return look;
    }
    look.followable = true;
    look.own.cookie = ownCookie;
    look.own.Open(window);
    look.final = LookAtFinalPath(look.readPath, finalCookie, window);
    look.stamp = StampOfPath(look.readPath);
    return look;
}

CheckedRead LookAndRead(const std::wstring& readPath, bool overdue, const FileStamp& looked,
                        const std::string* shown) noexcept {
    CheckedRead checked;
    if (!overdue) {
        checked.seen = StampOfPath(readPath);
        if (checked.seen != looked) {
            checked.moved = true;
            return checked;
        }
    }
    checked.read = ReadDocumentBytes(readPath);
    checked.unchanged =
        checked.read.outcome == ReadOutcome::Complete && shown != nullptr && checked.read.bytes == *shown;
    return checked;
}
