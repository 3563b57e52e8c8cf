#include "platform/long_path.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

struct PathCase {
    std::wstring path;
    std::wstring extended;
};

class ExtendedLengthTable : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExtendedLengthTable, PrefixesTheNormalisedFullPath) {
    EXPECT_EQ(ExtendedLengthPath(GetParam().path), GetParam().extended);
}

const std::wstring kDeep = L"C:\\" + std::wstring(150, L'd') + L"\\" + std::wstring(150, L'e') + L"\\deep.md";

INSTANTIATE_TEST_SUITE_P(
    Table, ExtendedLengthTable,
    ::testing::Values(PathCase{L"C:\\docs\\a.md", L"\\\\?\\C:\\docs\\a.md"},
                      // The prefix turns normalisation off, so it is done first.
                      PathCase{L"C:/docs/./old/../a.md", L"\\\\?\\C:\\docs\\a.md"},
                      PathCase{L"C:\\docs\\\\a.md", L"\\\\?\\C:\\docs\\a.md"},
                      PathCase{L"\\\\server\\share\\dir\\a.md", L"\\\\?\\UNC\\server\\share\\dir\\a.md"},
                      PathCase{L"//server/share/a.md", L"\\\\?\\UNC\\server\\share\\a.md"},
                      PathCase{kDeep, L"\\\\?\\" + kDeep},
                      // Already in a namespace of its own: left alone.
                      PathCase{L"\\\\?\\C:\\x\\..\\a.md", L"\\\\?\\C:\\x\\..\\a.md"},
                      PathCase{L"\\\\?\\UNC\\server\\share\\a.md", L"\\\\?\\UNC\\server\\share\\a.md"},
                      PathCase{L"\\\\.\\pipe\\name", L"\\\\.\\pipe\\name"}, PathCase{L"", L""}));

TEST(ExtendedLengthPath, ResolvesARelativePathAgainstTheCurrentFolder) {
    wchar_t current[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_GT(length, 2u);
    std::wstring expected = L"\\\\?\\" + std::wstring(current, length);
    if (expected.back() != L'\\') {
        expected.push_back(L'\\');
    }
    EXPECT_EQ(ExtendedLengthPath(L"sub\\..\\notes.md"), expected + L"notes.md");
}

} // namespace
