#include "webhost/host_messages.h"

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
    ::testing::Values(ClassifyCase{L"{\"action\":\"ready\"}", PageMessage::Ready},
                      ClassifyCase{L"{\"action\":\"closeDoc\"}", PageMessage::CloseDoc},
                      ClassifyCase{L"\"ready\"", PageMessage::Ready}, // a plain string message
                      ClassifyCase{L"\"closeDoc\"", PageMessage::CloseDoc},
                      ClassifyCase{L"{\"note\":\"ready\",\"action\":\"x\"}", PageMessage::Ready},
                      ClassifyCase{L"{\"action\":\"closeDoc\",\"x\":\"ready\"}", PageMessage::Ready},
                      ClassifyCase{L"{\"action\":\"Ready\"}", PageMessage::Other}, // case-sensitive
                      ClassifyCase{L"{\"action\":\"readyish\"}", PageMessage::Other},
                      ClassifyCase{L"ready", PageMessage::Other}, ClassifyCase{L"\"rea", PageMessage::Other},
                      ClassifyCase{L"", PageMessage::Other},
                      ClassifyCase{L"{\"action\":\"openFile\"}", PageMessage::Other}));

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
}

} // namespace
