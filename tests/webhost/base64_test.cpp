#include "webhost/text/base64.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

namespace {

std::string Encode(const std::string& bytes) {
    return Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

struct Base64Case {
    const char* what;
    std::string input;
    std::string expected;
};

class Base64Table : public ::testing::TestWithParam<Base64Case> {};

TEST_P(Base64Table, EncodesExactly) {
    EXPECT_EQ(Encode(GetParam().input), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Base64Table,
    ::testing::Values(Base64Case{"no bytes", "", ""}, Base64Case{"one byte: two pads", "f", "Zg=="},
                      Base64Case{"two bytes: one pad", "fo", "Zm8="},
                      Base64Case{"three bytes: no pad", "foo", "Zm9v"},
                      Base64Case{"four", "foob", "Zm9vYg=="}, Base64Case{"five", "fooba", "Zm9vYmE="},
                      Base64Case{"six", "foobar", "Zm9vYmFy"},
                      Base64Case{"zero bytes are data", std::string("\0\0\0\0", 4), "AAAAAA=="},
                      // Unsigned all the way: a sign-extended 0xFF would spill into the next group.
                      Base64Case{"high bytes", "\xFF\xFF\xFF", "////"},
                      Base64Case{"high then low", std::string("\xFF\x00\x01", 3), "/wAB"},
                      Base64Case{"0x80 alone", "\x80", "gA=="},
                      Base64Case{"0xFB 0xEF: + and /", "\xFB\xEF\xBE", "++++"}));

// Every byte value in every position of a group, against the platform's own encoder.
TEST(Base64, MatchesThePlatformEncoderForEveryByteValue) {
    std::string bytes;
    for (int round = 0; round < 3; ++round) {
        for (int value = 0; value < 256; ++value) {
            bytes.push_back(static_cast<char>(value));
        }
        bytes.push_back('x'); // shift the alignment of the values within the 3-byte groups
    }
    for (size_t length : {bytes.size(), bytes.size() - 1, bytes.size() - 2}) {
        const std::string input = bytes.substr(0, length);
        DWORD size = 0;
        const auto* data = reinterpret_cast<const BYTE*>(input.data());
        const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
        ASSERT_TRUE(::CryptBinaryToStringA(data, static_cast<DWORD>(length), flags, nullptr, &size));
        std::string expected(size, '\0');
        ASSERT_TRUE(::CryptBinaryToStringA(data, static_cast<DWORD>(length), flags, expected.data(), &size));
        expected.resize(size);
        const std::string encoded = Encode(input);
        EXPECT_EQ(encoded, expected) << "length " << length;
        EXPECT_EQ(encoded.size(), (length + 2) / 3 * 4);
    }
}

} // namespace
