#include "app/window_history.h"

#include <gtest/gtest.h>

namespace {

HistoryEntry File(const wchar_t* name, uint32_t generation) {
    HistoryEntry entry;
    entry.path = std::wstring(L"C:\\docs\\") + name;
    entry.name = name;
    entry.generation = generation;
    return entry;
}

std::wstring NameOf(const HistoryEntry* entry) {
    return entry ? entry->name : L"(none)";
}

TEST(WindowHistory, MovesLikeABrowserAndKeepsEachPlaceWithItsEntry) {
    WindowHistory history;
    EXPECT_EQ(history.Back(), nullptr);
    EXPECT_EQ(history.Forward(), nullptr);
    history.Add(File(L"a.md", 1));
    history.Add(File(L"b.md", 2));
    history.Add(File(L"c.md", 3));
    EXPECT_EQ(NameOf(history.PeekBack()), L"b.md");
    EXPECT_EQ(NameOf(history.PeekForward()), L"(none)");

    // A place reported late (the page left b while c was already being opened) still finds b.
    history.RememberPlace(2, 0, L"b-place");
    HistoryEntry* b = history.Back();
    ASSERT_EQ(NameOf(b), L"b.md");
    EXPECT_EQ(b->place, L"b-place");
    b->generation = 4; // shown again: its reports now carry the new number
    history.RememberPlace(2, 0, L"stale");
    history.RememberPlace(4, 0, L"b-again");
    EXPECT_EQ(b->place, L"b-again");
    EXPECT_EQ(NameOf(history.Back()), L"a.md");
    EXPECT_EQ(history.Back(), nullptr) << "no move past the first";
    EXPECT_EQ(NameOf(history.PeekForward()), L"b.md");
    EXPECT_EQ(NameOf(history.Forward()), L"b.md");

    // A new document from the middle drops what lay forward, as a browser does.
    HistoryEntry own;
    own.own = 7;
    own.name = L"picked.md";
    history.Add(own);
    EXPECT_EQ(history.size(), 3u);
    EXPECT_EQ(NameOf(history.PeekForward()), L"(none)");
    history.RememberPlace(0, 7, L"own-place");
    history.RememberPlace(0, 0, L"nobody's");
    EXPECT_EQ(NameOf(history.Back()), L"b.md");
    const HistoryEntry* picked = history.Forward();
    ASSERT_EQ(NameOf(picked), L"picked.md");
    EXPECT_EQ(picked->place, L"own-place");
}

TEST(WindowHistory, ForgetsTheOldestPastItsSize) {
    WindowHistory history;
    for (uint32_t i = 1; i <= WindowHistory::kMaxEntries + 5; ++i) {
        history.Add(File(std::to_wstring(i).c_str(), i));
    }
    EXPECT_EQ(history.size(), WindowHistory::kMaxEntries);
    const HistoryEntry* oldest = nullptr;
    while (const HistoryEntry* entry = history.Back()) {
        oldest = entry;
    }
    EXPECT_EQ(NameOf(oldest), L"6");
}

} // namespace
