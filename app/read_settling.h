// Judging when a watched document is written whole, without ever standing in a writer's way.
//
// A change (or a hint of one) starts a short settle delay that every further change restarts, so that a
// burst of writes gives one read; but never later than a second after the burst began, so that a file
// written without pause still shows, about once a second. The file's size and time must hold still
// across a short wait, and must not change while it is read (past the second, a file written without
// pause is taken whenever a read is not disturbed). A file that is locked against reading is tried again
// shortly; a file found empty while content is shown must stay empty a moment before it counts (editors
// truncate, then write); a missing file leaves the last content on screen. Only bytes different from
// those last delivered count, unless the reader asked to see the file again.
//
// Plain bookkeeping of times and outcomes: the watch does the looking and keeps the timers.
#pragma once

#include "app/document_text.h"
#include "app/file_stamp.h"

#include <windows.h>

#include <optional>

// What a check found: the file's stamp before the read (unless overdue), and the read itself.
struct CheckedRead {
    bool moved = false; // the stamp differed from the look before: nothing was read
    FileStamp seen;     // the stamp looked at before the read; not looked at when overdue
    DocumentRead read;
    bool unchanged = false; // read whole, and the bytes are those last delivered
};

// What the watch does after a check.
struct Verdict {
    enum class Kind { Deliver, LookAgain, Nothing } kind = Kind::Nothing;
    UINT afterMilliseconds = 0; // LookAgain: so long from now
};

class ReadSettling {
public:
    // A change was noticed at `now`: how long until the file is looked at, or nothing when a look is
    // already `due` and must not be hurried.
    std::optional<UINT> DelayAfterChange(ULONGLONG now, bool due) noexcept;

    // The delivery itself met a locked or changing file at `now`: how long until it is read again.
    UINT RetryBusyDelivery(ULONGLONG now) noexcept;

    // Whether the burst is past its second at `now`: the file is then read without the looks before.
    bool Overdue(ULONGLONG now) const noexcept;

    // The reader asked to see the file again: the next complete read counts even when unchanged.
    void ShowAgain() noexcept { showAgain_ = true; }

    // What to do with what a check found at `now` (whether `overdue` when it began).
    Verdict Judge(const CheckedRead& checked, bool overdue, ULONGLONG now) noexcept;

    // The watch starts afresh.
    void Reset() noexcept { *this = ReadSettling(); }

private:
    ULONGLONG burstStart_ = 0; // when the first change not yet shown was noticed; 0: none
    bool showAgain_ = false;
    unsigned busyReads_ = 0;
    ULONGLONG emptySince_ = 0; // when the file was first found empty while content is shown; 0: not
};
