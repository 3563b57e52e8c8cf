#include "loader/environment_variable.h"

#include "loader_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A variable whose value changes from one call to the next: call i sees values[min(i, last)].
// It writes only when the value fits the size it is given, as the system does, and records sizes.
struct ChangingVariable {
    std::vector<std::optional<std::wstring>> values;
    size_t calls = 0;
    std::vector<DWORD> sizes;
};
ChangingVariable* g_variable = nullptr;

DWORD WINAPI ReadChanging(LPCWSTR, LPWSTR buffer, DWORD size) {
    ChangingVariable& v = *g_variable;
    const std::optional<std::wstring>& value = v.values[std::min(v.calls, v.values.size() - 1)];
    ++v.calls;
    v.sizes.push_back(size);
    if (!value) {
        ::SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const DWORD needed = static_cast<DWORD>(value->size() + 1);
    if (buffer == nullptr || size < needed) {
        return needed;
    }
    std::memcpy(buffer, value->c_str(), needed * sizeof(wchar_t));
    return needed - 1;
}

struct ChangeCase {
    const char* what;
    std::vector<std::optional<std::wstring>> values;
    std::optional<std::wstring> expected;
};

TEST(ReadEnvironmentVariable, FollowsAValueThatChangesWhileBeingRead) {
    const std::wstring longer(300, L'z');
    const ChangeCase cases[] = {
        {"steady", {L"abc"}, L"abc"},
        {"grows after the size query", {L"abc", longer}, longer},
        {"grows twice", {L"a", L"abcd", longer}, longer},
        {"shrinks", {longer, L"ab"}, L"ab"},
        {"becomes empty", {L"abc", L""}, L""},
        {"disappears", {L"abc", std::nullopt}, std::nullopt},
        {"absent", {std::nullopt}, std::nullopt},
    };
    for (const ChangeCase& c : cases) {
        ChangingVariable variable;
        variable.values = c.values;
        g_variable = &variable;
        std::wstring value = L"stale";
        const bool found = ReadEnvironmentVariable(L"ANY", value, &ReadChanging);
        EXPECT_EQ(found, c.expected.has_value()) << c.what;
        EXPECT_EQ(value, c.expected.value_or(L"")) << c.what;
    }
    g_variable = nullptr;
}

// A value that never settles is given up on instead of being chased forever.
TEST(ReadEnvironmentVariable, GivesUpOnAValueThatKeepsGrowing) {
    ChangingVariable variable;
    for (size_t n = 1; n < 64; ++n) {
        variable.values.push_back(std::wstring(n * 10, L'g'));
    }
    g_variable = &variable;
    std::wstring value;
    EXPECT_FALSE(ReadEnvironmentVariable(L"ANY", value, &ReadChanging));
    EXPECT_LT(variable.calls, 64u);
    g_variable = nullptr;
}

TEST(ReadEnvironmentVariable, ReadsRealVariablesIncludingEmptyOnes) {
    std::wstring value;
    {
        EnvironmentVariableGuard empty(L"TALLOWMERE_LOADER_TEST", std::wstring());
        EXPECT_TRUE(ReadEnvironmentVariable(L"TALLOWMERE_LOADER_TEST", value));
        EXPECT_EQ(value, L"");
    }
    {
        EnvironmentVariableGuard set(L"TALLOWMERE_LOADER_TEST", std::wstring(L"Z:\\data"));
        EXPECT_TRUE(ReadEnvironmentVariable(L"TALLOWMERE_LOADER_TEST", value));
        EXPECT_EQ(value, L"Z:\\data");
    }
    EXPECT_FALSE(ReadEnvironmentVariable(L"TALLOWMERE_LOADER_TEST", value));
}

} // namespace
