// When a watched document counts as written whole: the rules of live reload as plain bookkeeping, at
// given moments (the watch's own tests and the end-to-end table drive them through real timers).
#include "app/read_settling.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

CheckedRead Complete(const std::string& bytes, bool unchanged = false) {
    CheckedRead checked;
    checked.seen = FileStamp{true, bytes.size(), 7};
    checked.read = DocumentRead{ReadOutcome::Complete, bytes, checked.seen};
    checked.unchanged = unchanged;
    return checked;
}

CheckedRead WithOutcome(ReadOutcome outcome) {
    CheckedRead checked;
    checked.read.outcome = outcome;
    return checked;
}

Verdict::Kind KindOf(ReadSettling& settling, const CheckedRead& checked, ULONGLONG now,
                     UINT* after = nullptr) {
    const Verdict verdict = settling.Judge(checked, false, now);
    if (after != nullptr) {
        *after = verdict.afterMilliseconds;
    }
    return verdict.kind;
}

TEST(ReadSettling, ABurstSettlesThenIsCappedAtASecond) {
    ReadSettling settling;
    EXPECT_EQ(settling.DelayAfterChange(1000, false), std::optional<UINT>(150));
    EXPECT_EQ(settling.DelayAfterChange(1900, true), std::optional<UINT>(100))
        << "only what is left of the second";
    EXPECT_FALSE(settling.Overdue(1999));
    EXPECT_TRUE(settling.Overdue(2000));
    EXPECT_EQ(settling.DelayAfterChange(2100, false), std::optional<UINT>(0)) << "overdue: look now";
    EXPECT_EQ(settling.DelayAfterChange(2100, true), std::nullopt) << "a retry is not hurried";
}

TEST(ReadSettling, EachOutcomeOfACheck) {
    ReadSettling settling;
    UINT after = 0;
    CheckedRead moved;
    moved.moved = true;
    EXPECT_EQ(KindOf(settling, moved, 0, &after), Verdict::Kind::LookAgain);
    EXPECT_EQ(after, 50u);

    // A busy file: 50 ms, then twice as long each time, up to a second.
    for (const UINT expected : {50u, 100u, 200u, 400u, 800u, 1000u, 1000u}) {
        EXPECT_EQ(KindOf(settling, WithOutcome(ReadOutcome::Busy), 0, &after), Verdict::Kind::LookAgain);
        EXPECT_EQ(after, expected);
    }
    EXPECT_EQ(KindOf(settling, WithOutcome(ReadOutcome::Absent), 0), Verdict::Kind::Nothing);

    CheckedRead rewritten = Complete("abc");
    rewritten.read.stamp.lastWrite = 8; // written again between the look and the read
    EXPECT_EQ(KindOf(settling, rewritten, 0, &after), Verdict::Kind::LookAgain);
    EXPECT_EQ(settling.Judge(rewritten, true, 0).kind, Verdict::Kind::Deliver) << "overdue: no look before";

    EXPECT_EQ(KindOf(settling, Complete("abc", true), 0), Verdict::Kind::Nothing);
    settling.ShowAgain();
    EXPECT_EQ(KindOf(settling, Complete("abc", true), 0), Verdict::Kind::Deliver);
    EXPECT_EQ(KindOf(settling, Complete("abc", true), 0), Verdict::Kind::Nothing) << "asked once, shown once";

    // Found empty while content is shown: it counts once it has stayed empty 400 ms.
    EXPECT_EQ(KindOf(settling, Complete(""), 5000, &after), Verdict::Kind::LookAgain);
    EXPECT_EQ(after, 400u);
    EXPECT_EQ(KindOf(settling, Complete(""), 5300, &after), Verdict::Kind::LookAgain);
    EXPECT_EQ(after, 100u);
    EXPECT_EQ(KindOf(settling, Complete(""), 5400), Verdict::Kind::Deliver);
}

} // namespace
