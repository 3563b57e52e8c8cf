#include "app/read_settling.h"

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

UINT RetryDelay(unsigned busyReads) noexcept {
    UINT delay = kFirstRetryMilliseconds;
    for (unsigned i = 1; i < busyReads && delay < kLongestRetryMilliseconds; ++i) {
        delay *= 2;
    }
    return delay < kLongestRetryMilliseconds ? delay : kLongestRetryMilliseconds;
}

Verdict LookAgainIn(UINT milliseconds) noexcept {
    return Verdict{Verdict::Kind::LookAgain, milliseconds};
}

} // namespace

std::optional<UINT> ReadSettling::DelayAfterChange(ULONGLONG now, bool due) noexcept {
    if (burstStart_ == 0) {
        burstStart_ = now;
    }
    const ULONGLONG deadline = burstStart_ + kLongestDelayMilliseconds;
    if (now >= deadline) {
        // Overdue: look now, unless a look is due anyway (a retry is not hurried by further changes).
        return due ? std::nullopt : std::optional<UINT>(0);
    }
    // Each change in a burst postpones the read, up to the deadline.
    const ULONGLONG left = deadline - now;
    return left < kSettleMilliseconds ? static_cast<UINT>(left) : kSettleMilliseconds;
}

UINT ReadSettling::RetryBusyDelivery(ULONGLONG now) noexcept {
    burstStart_ = now;
    busyReads_ = 1;
    return RetryDelay(busyReads_);
}

bool ReadSettling::Overdue(ULONGLONG now) const noexcept {
    return burstStart_ != 0 && now - burstStart_ >= kLongestDelayMilliseconds;
}

Verdict ReadSettling::Judge(const CheckedRead& checked, bool overdue, ULONGLONG now) noexcept {
    if (checked.moved) {
        return LookAgainIn(kQuietMilliseconds);
    }
    switch (checked.read.outcome) {
    case ReadOutcome::Absent:
        // Deleted, or half-way through a safe save: what is shown stays, and the file's return is a
        // change like any other.
        burstStart_ = 0;
        busyReads_ = 0;
        emptySince_ = 0;
        return {};
    case ReadOutcome::Busy:
        ++busyReads_;
        return LookAgainIn(RetryDelay(busyReads_));
    case ReadOutcome::Complete:
        break;
    }
    busyReads_ = 0;
    if (!overdue && checked.read.stamp != checked.seen) {
        return LookAgainIn(kQuietMilliseconds); // written again between the look and the read
    }
    if (checked.unchanged && !showAgain_) {
        burstStart_ = 0;
        emptySince_ = 0;
        return {}; // touched, or changed and changed back: nothing to show
    }
    if (checked.read.bytes.empty()) {
        if (emptySince_ == 0) {
            emptySince_ = now;
        }
        const ULONGLONG waited = now - emptySince_;
        if (waited < kEmptyGraceMilliseconds) {
            return LookAgainIn(static_cast<UINT>(kEmptyGraceMilliseconds - waited));
        }
    }
    burstStart_ = 0;
    emptySince_ = 0;
    showAgain_ = false;
    return Verdict{Verdict::Kind::Deliver, 0};
}
