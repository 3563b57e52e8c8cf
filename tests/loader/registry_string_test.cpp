#include "loader/registry_string.h"

#include "loader_test_support.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr PCWSTR kScratchKey = L"Software\\Tallowmere\\LoaderTests\\RegistryText";

class RegistryTextTest : public testing::Test {
protected:
    RegistryKeyGuard guard_{HKEY_CURRENT_USER, kScratchKey};
    UniqueRegKey key_;

    void SetUp() override {
        ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, key_.put()), ERROR_SUCCESS);
    }
};

// Texts of 259 characters fit with their terminator; 260 never do, whether or not the stored data
// carries a terminator, and nothing past the buffer is read to find out.
TEST_F(RegistryTextTest, AcceptsAtMost259CharactersWithOrWithoutTerminator) {
    const std::wstring fits(259, L'a');
    const std::wstring tooLong(260, L'b');
    guard_.SetString(L"fits", fits);
    guard_.SetString(L"fits-bare", fits, false);
    guard_.SetString(L"long-bare", tooLong, false);
    guard_.SetString(L"long", tooLong);

    std::wstring text;
    EXPECT_TRUE(QueryRegistryText(key_.get(), L"fits", text));
    EXPECT_EQ(text, fits);
    EXPECT_TRUE(QueryRegistryText(key_.get(), L"fits-bare", text));
    EXPECT_EQ(text, fits);
    EXPECT_FALSE(QueryRegistryText(key_.get(), L"long-bare", text));
    EXPECT_FALSE(QueryRegistryText(key_.get(), L"long", text));

    EXPECT_TRUE(GetRegistryStringValue(key_.get(), L"fits", text));
    EXPECT_EQ(text, fits);
    EXPECT_TRUE(GetRegistryStringValue(key_.get(), L"fits-bare", text));
    EXPECT_EQ(text, fits);
    EXPECT_FALSE(GetRegistryStringValue(key_.get(), L"long-bare", text));
    EXPECT_FALSE(GetRegistryStringValue(key_.get(), L"long", text));
}

TEST_F(RegistryTextTest, ShortTextsAndTypes) {
    guard_.SetString(L"empty", L"");
    guard_.SetString(L"one", L"x");
    guard_.SetString(L"bare", L"ab", false);
    guard_.SetDword(L"number", 1);

    std::wstring text;
    // The query demands more than a lone terminator; the REG_SZ read takes an empty text.
    EXPECT_FALSE(QueryRegistryText(key_.get(), L"empty", text));
    EXPECT_TRUE(GetRegistryStringValue(key_.get(), L"empty", text));
    EXPECT_EQ(text, L"");
    EXPECT_TRUE(QueryRegistryText(key_.get(), L"one", text));
    EXPECT_EQ(text, L"x");
    EXPECT_TRUE(QueryRegistryText(key_.get(), L"bare", text));
    EXPECT_EQ(text, L"ab");
    EXPECT_FALSE(QueryRegistryText(key_.get(), L"absent", text));

    EXPECT_FALSE(GetRegistryStringValue(key_.get(), L"number", text));
    DWORD number = 0;
    EXPECT_TRUE(GetRegistryDwordValue(key_.get(), L"number", number));
    EXPECT_EQ(number, 1u);
    EXPECT_FALSE(GetRegistryDwordValue(key_.get(), L"one", number));
}

} // namespace

namespace {

// Wine terminates registry texts itself; other systems may hand back data that fills the buffer
// without a terminator, which must neither be read past nor taken as a 260-character text.
TEST(TakeRegistryText, NeverReadsPastTheBuffer) {
    wchar_t buffer[kRegistryTextCapacity];
    std::wstring text;
    std::fill(std::begin(buffer), std::end(buffer), L'q');
    EXPECT_FALSE(TakeRegistryText(buffer, sizeof(buffer), text));
    EXPECT_FALSE(TakeRegistryText(buffer, sizeof(buffer) + 2, text));
    EXPECT_TRUE(TakeRegistryText(buffer, sizeof(buffer) - 2, text));
    EXPECT_EQ(text, std::wstring(259, L'q'));
    buffer[3] = L'\0';
    EXPECT_TRUE(TakeRegistryText(buffer, sizeof(buffer), text));
    EXPECT_EQ(text, L"qqq");
    EXPECT_TRUE(TakeRegistryText(buffer, 5, text)); // an odd byte count ends with the last whole unit
    EXPECT_EQ(text, L"qq");
}

} // namespace
