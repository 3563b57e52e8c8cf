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

// Moving, dropping what lay forward and late places are played through the real program end to end;
// here, what no scenario reaches: the bound on the history's size.
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
