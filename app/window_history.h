// The documents this window has shown, in order, each with the reader's place when it was left: what
// Back and Forward move through. It lives while the window does and is never written anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HistoryEntry {
    // The full path of a file the host reads (again, whenever it is gone back to); empty for a document
    // the page read itself, which only the page can show again.
    std::wstring path;
    // The page's number for a document it read itself (0 for a file of the host's).
    uint32_t own = 0;
    std::wstring name;
    // Where the reader left it, in the page's own words; empty: the top (or the link's fragment).
    std::wstring place;
    // The delivery it was last shown under (0 for the page's own documents): the page's reports of a
    // place name it by this number.
    uint32_t generation = 0;
};

class WindowHistory {
public:
    // The oldest entries go beyond this many: far more than a reader goes back through.
    static constexpr size_t kMaxEntries = 500;

    // `entry` becomes the current one, after the current one; the entries forward of it are dropped,
    // as a browser drops them.
    void Add(HistoryEntry entry);

    // Moves one entry back or forward and returns it; null (and no move) at either end.
    HistoryEntry* Back() noexcept;
    HistoryEntry* Forward() noexcept;

    // The entry one step back or forward of the current one, without moving; null at either end.
    const HistoryEntry* PeekBack() const noexcept;
    const HistoryEntry* PeekForward() const noexcept;

    // The page left the document it showed under delivery `generation` (or, with 0, its own document
    // `own`) at `place`: kept with whichever entry that was, wherever it stands now.
    void RememberPlace(uint32_t generation, uint32_t own, const std::wstring& place);

    size_t size() const noexcept { return entries_.size(); }

private:
    std::vector<HistoryEntry> entries_;
    size_t current_ = 0; // meaningful only while there are entries
};
