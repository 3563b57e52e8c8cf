#include "wire_format.h"

#include <gtest/gtest.h>

namespace {

TEST(WireFormat, JsonStringEscapesWhatJsonRequires) {
    struct Case {
        const wchar_t* text;
        const char* json;
    };
    const Case cases[] = {
        {L"", "\"\""},
        {L"plain", "\"plain\""},
        {L"say \"hi\"", "\"say \\\"hi\\\"\""},
        {L"C:\\notes\\a.md", "\"C:\\\\notes\\\\a.md\""},
        {L"a\r\nb\tc", "\"a\\r\\nb\\tc\""},
        {L"\x01\x1f", "\"\\u0001\\u001f\""},
        {L"caf\u00e9 \u4e2d", "\"caf\xc3\xa9 \xe4\xb8\xad\""},
        {L"\U0001F4D6", "\"\xf0\x9f\x93\x96\""},
        // A lone surrogate cannot be written as UTF-8: it becomes U+FFFD rather than breaking the frame.
        {L"x\xd800y", "\"x\xef\xbf\xbdy\""},
        {L"</script>", "\"</script>\""},
    };
    for (const Case& c : cases) {
        std::string out;
        AppendJsonString(out, c.text);
        EXPECT_EQ(out, c.json) << "for " << ToUtf8(c.text);
    }
}

TEST(WireFormat, Utf8RoundTripKeepsEveryCharacter) {
    const std::wstring text = L"# T\u00edtulo\r\n\u6587\u6863 \U0001F600 \"q\" \\";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(FromUtf8(""), L"");
}

TEST(WireFormat, FrameHeaderIsBigEndianLength) {
    for (const uint32_t length : {0u, 1u, 255u, 256u, 70000u, kMaxFrameBytes}) {
        const std::string header = FrameHeader(length);
        ASSERT_EQ(header.size(), kFrameHeaderBytes);
        unsigned char bytes[kFrameHeaderBytes]{};
        for (size_t i = 0; i < kFrameHeaderBytes; ++i) {
            bytes[i] = static_cast<unsigned char>(header[i]);
        }
        EXPECT_EQ(FrameLength(bytes), length);
    }
    EXPECT_EQ(FrameHeader(0x01020304u), std::string("\x01\x02\x03\x04", 4));
}

TEST(WireFormat, CommandSplitsAtFirstLineFeedOnly) {
    struct Case {
        const char* body;
        const char* verb;
        const char* payload;
    };
    const Case cases[] = {
        {"closeWindow\n", "closeWindow", ""},
        {"closeWindow", "closeWindow", ""},
        {"webMessage\n{\"a\":\"x\\ny\"}\n", "webMessage", "{\"a\":\"x\\ny\"}\n"},
        {"drop\nZ:\\a b\\c.md", "drop", "Z:\\a b\\c.md"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const DriverCommand command = SplitCommand(c.body);
        EXPECT_EQ(command.verb, c.verb);
        EXPECT_EQ(command.payload, c.payload);
    }
}

TEST(WireFormat, RecordKeepsMemberOrder) {
    const std::string record =
        JsonRecord("bounds").Number("left", -8).Bool("enabled", false).String("name", L"a\"b").Finish();
    EXPECT_EQ(record, "{\"type\":\"bounds\",\"left\":-8,\"enabled\":false,\"name\":\"a\\\"b\"}");
}

} // namespace
