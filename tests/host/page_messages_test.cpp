#include "webhost/messages/host_messages.h"
#include "webhost/messages/page_message_fields.h"

#include <gtest/gtest.h>

namespace {

struct ClassifyCase {
    std::wstring json;
    PageMessage expected;
};

class ClassifyTable : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTable, RecognisesBySubstring) {
    EXPECT_EQ(ClassifyPageMessage(GetParam().json), GetParam().expected)
        << std::string(GetParam().json.begin(), GetParam().json.end());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClassifyTable,
    ::testing::Values(
        ClassifyCase{L"{\"action\":\"ready\"}", PageMessage::Ready},
        ClassifyCase{L"{\"action\":\"closeDoc\"}", PageMessage::CloseDoc},
        ClassifyCase{L"\"ready\"", PageMessage::Ready}, // a plain string message
        ClassifyCase{L"\"closeDoc\"", PageMessage::CloseDoc},
        ClassifyCase{L"{\"note\":\"ready\",\"action\":\"x\"}", PageMessage::Ready},
        ClassifyCase{L"{\"action\":\"closeDoc\",\"x\":\"ready\"}", PageMessage::Ready},
        ClassifyCase{L"{\"action\":\"Ready\"}", PageMessage::Other}, // case-sensitive
        ClassifyCase{L"{\"action\":\"readyish\"}", PageMessage::Other},
        ClassifyCase{L"ready", PageMessage::Other}, ClassifyCase{L"\"rea", PageMessage::Other},
        ClassifyCase{L"", PageMessage::Other}, ClassifyCase{L"{\"action\":\"openFile\"}", PageMessage::Other},
        // The history's actions are read from the action member itself, so that a place or
        // a path that happens to be "ready" is no ready.
        ClassifyCase{L"{\"action\":\"back\"}", PageMessage::Back},
        ClassifyCase{L"{ \"action\" : \"forward\" }", PageMessage::Forward},
        ClassifyCase{L"{\"action\":\"place\",\"generation\":3,\"place\":\"ready\"}", PageMessage::Place},
        ClassifyCase{L"{\"action\":\"openListed\",\"address\":\"closeDoc\"}", PageMessage::OpenListed},
        ClassifyCase{L"{\"action\":\"ownDocument\",\"own\":1,\"name\":\"a.md\"}", PageMessage::OwnDocument},
        ClassifyCase{L"{\"note\":{\"action\":\"back\"}}", PageMessage::Other},
        ClassifyCase{L"{\"action\":\"back\",}", PageMessage::Other},
        ClassifyCase{L"[\"back\"]", PageMessage::Other}));

TEST(PageMessageFields, ReadsTopLevelStringsAndWholeNumbersOnly) {
    const PageMessageFields fields(
        L"{\"nested\":{\"own\":9,\"s\":[1,{\"x\":\"}\"}]},\"own\":12,"
        L"\"place\":\"{\\\"i\\\":1}\\u4e2d\\n\\/\",\"big\":4294967296,"
        L"\"neg\":-1,\"frac\":1.5,\"exp\":1e3,\"lead\":01,\"flag\":true,\"max\":4294967295}");
    ASSERT_TRUE(fields.valid());
    EXPECT_EQ(fields.Number(L"own"), 12u) << "the top level's, not the nested one's";
    EXPECT_EQ(fields.String(L"place"), L"{\"i\":1}\u4e2d\n/");
    EXPECT_EQ(fields.Number(L"max"), 4294967295u);
    for (const wchar_t* name : {L"big", L"neg", L"frac", L"exp", L"lead", L"flag", L"place", L"absent"}) {
        EXPECT_EQ(fields.Number(name), std::nullopt) << std::wstring(name).size();
    }
    EXPECT_EQ(fields.String(L"own"), std::nullopt);
    for (const wchar_t* broken :
         {L"", L"{", L"{\"a\":1} x", L"{\"a\":\"\\q\"}", L"{\"a\":\"\x01\"}", L"{a:1}"}) {
        EXPECT_FALSE(PageMessageFields(broken).valid()) << std::wstring(broken).size();
        EXPECT_EQ(PageMessageFields(broken).String(L"a"), std::nullopt);
    }
}

TEST(ClosedDelivery, TheNumberAfterGenerationOrNone) {
    EXPECT_EQ(ClosedDeliveryNumber(L"{\"action\":\"closeDoc\",\"generation\":4294967295}"), 4294967295u);
    EXPECT_EQ(ClosedDeliveryNumber(L"{\"generation\":12,\"action\":\"closeDoc\"}"), 12u);
    for (const wchar_t* none :
         {L"{\"action\":\"closeDoc\"}", L"{\"action\":\"closeDoc\",\"generation\":\"3\"}",
          L"{\"action\":\"closeDoc\",\"generation\":4294967296}",
          L"{\"action\":\"closeDoc\",\"generation\":-1}"}) {
        EXPECT_EQ(ClosedDeliveryNumber(none), 0u) << std::wstring(none).size();
    }
}

TEST(ComposeOpenFile, PiecesInOrderWithoutWhiteSpace) {
    EXPECT_EQ(ComposeOpenFileMessage(L"a\"b.md", L"x\\y\n", 7),
              L"{\"action\":\"openFile\",\"name\":\"a\\\"b.md\",\"content\":\"x\\\\y\\n\",\"generation\":7}");
    EXPECT_EQ(ComposeOpenFileMessage(L"", L"", 4294967295u),
              L"{\"action\":\"openFile\",\"name\":\"\",\"content\":\"\",\"generation\":4294967295}");
    // Where to land comes after the number: a place, else a fragment; a missing file says so.
    EXPECT_EQ(ComposeOpenFileMessage(L"a.md", L"x", 2, {L"{\"i\":1}", L"ignored"}),
              L"{\"action\":\"openFile\",\"name\":\"a.md\",\"content\":\"x\",\"generation\":2,"
              L"\"place\":\"{\\\"i\\\":1}\"}");
    EXPECT_EQ(ComposeOpenFileMessage(L"a.md", L"", 3, {L"", L"%E4%BB%A3"}, true),
              L"{\"action\":\"openFile\",\"name\":\"a.md\",\"content\":\"\",\"generation\":3,"
              L"\"fragment\":\"%E4%BB%A3\",\"missing\":true}");
    // The full path, escaped like the rest, and last the encoding the file was read in.
    EXPECT_EQ(ComposeOpenFileMessage(L"a.md", L"", 4, {}, true, L"C:\\d\\a.md", L"UTF-16 LE"),
              L"{\"action\":\"openFile\",\"name\":\"a.md\",\"content\":\"\",\"generation\":4,"
              L"\"missing\":true,\"path\":\"C:\\\\d\\\\a.md\",\"encoding\":\"UTF-16 LE\"}");
}

TEST(ComposeHistory, NamesEscapedEmptyForNone) {
    EXPECT_EQ(ComposeHistoryMessage(L"a \"b\".md", L""),
              L"{\"action\":\"history\",\"back\":\"a \\\"b\\\".md\",\"forward\":\"\"}");
    EXPECT_EQ(ComposeShowOwnMessage(4, L"p.md", L"{}"),
              L"{\"action\":\"showOwn\",\"own\":4,\"name\":\"p.md\",\"place\":\"{}\"}");
}

} // namespace
