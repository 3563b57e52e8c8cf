#include "loader/runtime_version.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct VersionCase {
    const wchar_t* text;
    std::optional<RuntimeVersion> expected;
};

TEST(ParseRuntimeVersion, ReadsUpToFourComponents) {
    const VersionCase cases[] = {
        {L"120.0.2210.91", RuntimeVersion{120, 0, 2210, 91}},
        {L"120", RuntimeVersion{120, 0, 0, 0}},
        {L"120.5beta", RuntimeVersion{120, 5, 0, 0}},
        {L"120.5.", RuntimeVersion{120, 5, 0, 0}},
        {L"120..5", RuntimeVersion{120, 0, 0, 0}},
        {L"1.2.3.4.5", RuntimeVersion{1, 2, 3, 4}},
        {L"007.08", RuntimeVersion{7, 8, 0, 0}},
        {L"4294967295.1", RuntimeVersion{4294967295u, 1, 0, 0}},
        {L"4294967296.1", RuntimeVersion{4294967295u, 1, 0, 0}},
        {L"1.99999999999999999999999.3", RuntimeVersion{1, 4294967295u, 3, 0}},
        {L"v120.0.0.0", std::nullopt},
        {L"Application", std::nullopt},
        {L".1", std::nullopt},
        {L"", std::nullopt},
    };
    for (const VersionCase& c : cases) {
        RuntimeVersion version = {9, 9, 9, 9};
        const bool parsed = ParseRuntimeVersion(c.text, version);
        EXPECT_EQ(parsed, c.expected.has_value()) << testing::PrintToString(std::wstring(c.text));
        if (parsed && c.expected) {
            EXPECT_EQ(version, *c.expected) << testing::PrintToString(std::wstring(c.text));
        }
    }
}

TEST(MinimumRuntimeVersion, ComparesComponentsAsUnsignedNumbers) {
    const std::pair<RuntimeVersion, bool> cases[] = {
        {{85, 0, 564, 40}, false},      {{86, 0, 615, 999}, false},      {{86, 0, 616, 0}, true},
        {{86, 0, 616, 1}, true},        {{86, 1, 0, 0}, true},           {{87, 0, 0, 0}, true},
        {{4294967295u, 0, 0, 0}, true}, {{0, 4294967295u, 0, 0}, false},
    };
    for (const auto& [version, accepted] : cases) {
        EXPECT_EQ(IsAtLeastMinimumRuntimeVersion(version), accepted)
            << version[0] << "." << version[1] << "." << version[2] << "." << version[3];
    }
}

} // namespace
