#include "loader/override_values.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseReleaseChannels, OneBitPerPiece) {
    const std::pair<const wchar_t*, uint32_t> cases[] = {
        {L"2, 3", 0x0C},      {L"1,x", 0x03},   {L"7", 0x01},   {L" , ", 0x00},
        {L"", 0x00},          {L",,", 0x00},    {L"4", 0x10},   {L"5", 0x01},
        {L"0", 0x01},         {L"00003", 0x08}, {L" 2 ", 0x04}, {L"\t1\t,\n4", 0x12},
        {L"-1", 0x01},        {L"1 2", 0x01},   {L"+2", 0x01},  {L"99999999999999999999999", 0x01},
        {L"0,1,2,3,4", 0x1F},
    };
    for (const auto& [text, mask] : cases) {
        uint32_t parsed = 0;
        bool set = false;
        ParseReleaseChannels(text, parsed, set);
        EXPECT_EQ(parsed, mask) << testing::PrintToString(std::wstring(text));
        EXPECT_TRUE(set);
    }
    uint32_t existing = 0x10;
    bool set = false;
    ParseReleaseChannels(L"0", existing, set);
    EXPECT_EQ(existing, 0x11u);
}

TEST(ReadsAsOne, ReadsLikeWtoi) {
    for (const wchar_t* one : {L"1", L" 1", L"\t+1", L"01", L"1x", L"1 2", L"1.9"}) {
        EXPECT_TRUE(ReadsAsOne(one)) << testing::PrintToString(std::wstring(one));
    }
    for (const wchar_t* other :
         {L"", L"0", L"-1", L"2", L"x1", L"+-1", L"11", L"4294967297", L"18446744073709551617"}) {
        EXPECT_FALSE(ReadsAsOne(other)) << testing::PrintToString(std::wstring(other));
    }
}

} // namespace
