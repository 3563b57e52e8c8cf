#include "app/command_line.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc_ = folder_.WriteFile(L"doc.md", "# x");
        spaced_ = folder_.WriteFile(L"my doc.md", "# y");
        sub_ = folder_.MakeFolder(L"sub");
    }
    TempFolder folder_;
    std::wstring doc_, spaced_, sub_;
};

TEST_F(CommandLineTest, EmptyOrMissingTailLeavesNothingPending) {
    EXPECT_EQ(PendingDocumentFromCommandLine(nullptr), L"");
    EXPECT_EQ(PendingDocumentFromCommandLine(L""), L"");
}

TEST_F(CommandLineTest, ExistingFileBecomesPendingCharacterForCharacter) {
    EXPECT_EQ(PendingDocumentFromCommandLine(doc_.c_str()), doc_);
}

TEST_F(CommandLineTest, MissingFileLeavesNothingPending) {
    EXPECT_EQ(PendingDocumentFromCommandLine((folder_ / L"absent.md").c_str()), L"");
}

TEST_F(CommandLineTest, QuotedPathWithSpacesLosesItsQuotes) {
    const std::wstring tail = L"\"" + spaced_ + L"\"";
    EXPECT_EQ(PendingDocumentFromCommandLine(tail.c_str()), spaced_);
}

TEST_F(CommandLineTest, UnquotedPathWithSpaceIsCutAtTheSpace) {
    // Its first piece ("...\my") names nothing, so nothing is pending.
    EXPECT_EQ(PendingDocumentFromCommandLine(spaced_.c_str()), L"");
}

TEST_F(CommandLineTest, FolderBecomesPending) {
    EXPECT_EQ(PendingDocumentFromCommandLine(sub_.c_str()), sub_);
}

TEST_F(CommandLineTest, OnlyTheFirstOfSeveralArgumentsCounts) {
    const std::wstring tail = doc_ + L" " + sub_ + L" --flag";
    EXPECT_EQ(PendingDocumentFromCommandLine(tail.c_str()), doc_);
    const std::wstring missingFirst = L"absent.md " + doc_;
    EXPECT_EQ(PendingDocumentFromCommandLine(missingFirst.c_str()), L"");
}

TEST_F(CommandLineTest, RelativePathStaysRelative) {
    wchar_t previous[MAX_PATH]{};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder_.path().c_str()));
    const std::wstring pending = PendingDocumentFromCommandLine(L"doc.md");
    ::SetCurrentDirectoryW(previous);
    EXPECT_EQ(pending, L"doc.md");
}

} // namespace
