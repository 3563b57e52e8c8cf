#include "webhost/messages/json_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EscapeCase {
    const char* what;
    std::wstring input;
    std::wstring expected;
};

class JsonEscapeTable : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(JsonEscapeTable, EscapesExactly) {
    EXPECT_EQ(EscapeJsonString(GetParam().input), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, JsonEscapeTable,
    ::testing::Values(
        EscapeCase{"empty", L"", L""}, EscapeCase{"plain ascii", L"abc", L"abc"},
        EscapeCase{"tab", L"a\tb", L"a\\tb"}, EscapeCase{"line feed", L"a\nb", L"a\\nb"},
        EscapeCase{"carriage return", L"a\rb", L"a\\rb"}, EscapeCase{"crlf", L"a\r\nb", L"a\\r\\nb"},
        EscapeCase{"double quote", L"say \"hi\"", L"say \\\"hi\\\""},
        EscapeCase{"backslash", L"C:\\x", L"C:\\\\x"},
        EscapeCase{"slash unchanged", L"a/b</script>", L"a/b</script>"},
        EscapeCase{"nul", std::wstring(L"a\0b", 3), L"a\\u0000b"}, EscapeCase{"form feed", L"\f", L"\\u000c"},
        EscapeCase{"escape", L"\x1b[0m", L"\\u001b[0m"}, EscapeCase{"unit separator", L"\x1f", L"\\u001f"},
        EscapeCase{"backspace is not short", L"\b", L"\\u0008"},
        EscapeCase{"space and delete unchanged", L" \x7f", L" \x7f"},
        EscapeCase{"line and paragraph separators", L"\x2028\x2029", L"\x2028\x2029"},
        EscapeCase{"byte order mark", L"\xFEFF# T", L"\xFEFF# T"},
        EscapeCase{"chinese", L"\x4E2D\x6587", L"\x4E2D\x6587"},
        EscapeCase{"paired surrogates", L"\xD83D\xDE00", L"\xD83D\xDE00"},
        EscapeCase{"lone high surrogate", L"a\xD800z", L"a\xD800z"},
        EscapeCase{"lone low surrogate", L"\xDC00", L"\xDC00"}));

TEST(JsonEscape, EveryControlCodeIsEscaped) {
    for (wchar_t c = 0; c < 0x20; ++c) {
        const std::wstring out = EscapeJsonString(std::wstring(1, c));
        ASSERT_GE(out.size(), 2u) << int(c);
        EXPECT_EQ(out[0], L'\\') << int(c);
        for (wchar_t unit : out) {
            EXPECT_GE(unit, 0x20) << "raw control code left in escape of " << int(c);
        }
        if (c != L'\t' && c != L'\n' && c != L'\r') {
            wchar_t expected[7];
            swprintf(expected, 7, L"\\u%04x", static_cast<unsigned>(c));
            EXPECT_EQ(out, expected);
        }
    }
}

TEST(JsonEscape, LongMixedTextKeepsEveryPlainRun) {
    std::wstring input;
    std::wstring expected;
    for (int i = 0; i < 1000; ++i) {
        input += L"plain \x4E2D";
        expected += L"plain \x4E2D";
        input += (i % 2) ? L'"' : L'\n';
        expected += (i % 2) ? L"\\\"" : L"\\n";
    }
    EXPECT_EQ(EscapeJsonString(input), expected);
}

} // namespace
