#include "app/document_text.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DecodeCase {
    const char* what;
    std::string bytes;
    std::wstring expected;
};

class DocumentTextDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DocumentTextDecoding, DecodesBytesExactly) {
    TempFolder folder;
    const std::wstring path = folder.WriteFile(L"doc.md", GetParam().bytes);
    EXPECT_EQ(ReadDocumentText(path), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DocumentTextDecoding,
    ::testing::Values(DecodeCase{"plain", "abc", L"abc"},
                      DecodeCase{"crlf kept", "a\r\nb\r\n", L"a\r\nb\r\n"},
                      DecodeCase{"lone cr kept", "a\rb", L"a\rb"},
                      DecodeCase{"no end-of-file character",
                                 "a\x1a"
                                 "b",
                                 L"a\x1a"
                                 L"b"},
                      DecodeCase{"bom kept", "\xEF\xBB\xBF# T", L"\xFEFF# T"},
                      DecodeCase{"nul kept", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
                      DecodeCase{"chinese", "\xE4\xB8\xAD\xE6\x96\x87", L"\x4E2D\x6587"},
                      DecodeCase{"outside the basic plane", "\xF0\x9F\x98\x80", L"\xD83D\xDE00"}));

TEST(DocumentText, EmptyMissingAndFolderAllYieldEmptyText) {
    TempFolder folder;
    EXPECT_EQ(ReadDocumentText(folder.WriteFile(L"empty.md", "")), L"");
    EXPECT_EQ(ReadDocumentText(folder / L"missing.md"), L"");
    EXPECT_EQ(ReadDocumentText(folder.MakeFolder(L"sub")), L"");
    // Nothing there to wait for, unlike a locked file (below).
    EXPECT_EQ(ReadDocumentBytes(folder / L"missing.md").outcome, ReadOutcome::Absent);
    EXPECT_EQ(ReadDocumentBytes(folder / L"sub").outcome, ReadOutcome::Absent);
}

TEST(DocumentText, ReadsAFileAnotherProgramHoldsOpenForWriting) {
    TempFolder folder;
    const std::wstring path = folder.WriteFile(L"open.md", "still readable");
    HANDLE writer = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadDocumentText(path), L"still readable");
    ::CloseHandle(writer);
}

TEST(DocumentText, AFileLockedAgainstReadingYieldsEmptyText) {
    TempFolder folder;
    const std::wstring path = folder.WriteFile(L"locked.md", "secret");
    HANDLE exclusive = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadDocumentText(path), L"");
    EXPECT_EQ(ReadDocumentBytes(path).outcome, ReadOutcome::Busy);
    ::CloseHandle(exclusive);
}

TEST(DocumentText, LargeFileArrivesWhole) {
    TempFolder folder;
    std::string bytes;
    for (int i = 0; i < 300000; ++i) {
        bytes += "line \xE4\xB8\xAD\r\n";
    }
    const std::wstring text = ReadDocumentText(folder.WriteFile(L"big.md", bytes));
    ASSERT_EQ(text.size(), 300000u * 8u);
    EXPECT_EQ(text.substr(0, 8), L"line \x4E2D\r\n");
    EXPECT_EQ(text.substr(text.size() - 8), L"line \x4E2D\r\n");
}

TEST(DocumentText, FileOfTwoGibibytesOrMoreYieldsEmptyTextNotAHalfDecodedOne) {
    TempFolder folder;
    const std::wstring path = folder / L"huge.md";
    HANDLE h =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // A sparse-looking file: set its length without writing 2 GiB of data.
    LARGE_INTEGER size{};
    size.QuadPart = 0x80000000LL;
    ASSERT_TRUE(::SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(h));
    ::CloseHandle(h);
    EXPECT_EQ(ReadDocumentText(path), L"");
}

} // namespace
