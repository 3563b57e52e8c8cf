#include "app/open_document.h"

#include "app/current_document.h"
#include "app/document_jobs.h"

#include "platform/com_adopt.h"
#include "support/inline_jobs.h"
#include "support/recording_web_view.h"
#include "support/temp_folder.h"
#include "webhost/browser/browser_references.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

namespace {

using Microsoft::WRL::ComPtr;

// The closing members of an openFile message: the number of the delivery `back` deliveries before the
// current one, then the document's full path (backslashes escaped).
std::wstring Generation(uint32_t back, const std::wstring& path) {
    std::wstring escaped;
    for (const wchar_t c : path) {
        escaped.append(c == L'\\' ? L"\\\\" : std::wstring(1, c));
    }
    return L",\"generation\":" + std::to_wstring(CurrentDocumentGeneration() - back) + L",\"path\":\"" +
           escaped + L"\"";
}

class OpenDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each delivery is read and posted before the call that asks for it returns.
        UseDocumentJobRunner(&jobs_);
        view_ = AdoptComPtr(new RecordingWebView());
        g_webView = view_.Get();
    }
    void TearDown() override {
        UseDocumentJobRunner(nullptr);
        g_webView.Reset();
    }

    const std::vector<std::wstring>& posted() const { return view_->posted; }

    ComPtr<RecordingWebView> view_;
    InlineJobs jobs_;
    TempFolder folder_;
};

TEST_F(OpenDocumentTest, ThreeLetterFileYieldsTheExactMessage) {
    OpenDocument(folder_.WriteFile(L"abc.md", "abc"));
    ASSERT_EQ(posted().size(), 1u);
    EXPECT_EQ(posted()[0], L"{\"action\":\"openFile\",\"name\":\"abc.md\",\"content\":\"abc\"" +
                               Generation(0, folder_ / L"abc.md") + L",\"encoding\":\"UTF-8\"}");
}

TEST_F(OpenDocumentTest, ContentIsEscapedAndKeepsEveryCharacter) {
    const std::string bytes = std::string("\xEF\xBB\xBF"
                                          "a\r\nb\tc\f\x1b",
                                          11) +
                              std::string("\0", 1) + "d\xFF\"q\\e\xF0\x9F\x98\x80";
    OpenDocument(folder_.WriteFile(L"mixed.md", bytes));
    ASSERT_EQ(posted().size(), 1u);
    EXPECT_EQ(posted()[0], L"{\"action\":\"openFile\",\"name\":\"mixed.md\",\"content\":\""
                           L"\xFEFF"
                           L"a\\r\\nb\\tc\\u000c\\u001b\\u0000d\xFFFD\\\"q\\\\e\xD83D\xDE00\"" +
                               Generation(0, folder_ / L"mixed.md") + L",\"encoding\":\"UTF-8\"}");
}

TEST_F(OpenDocumentTest, NameWithSpacesAndNonAsciiArrivesUnchanged) {
    OpenDocument(folder_.WriteFile(L"my \x7B14\x8BB0.md", "x"));
    ASSERT_EQ(posted().size(), 1u);
    EXPECT_EQ(posted()[0], L"{\"action\":\"openFile\",\"name\":\"my \x7B14\x8BB0.md\",\"content\":\"x\"" +
                               Generation(0, folder_ / L"my \x7B14\x8BB0.md") + L",\"encoding\":\"UTF-8\"}");
}

TEST_F(OpenDocumentTest, UnreadableTargetsStillPostTheNameWithEmptyContent) {
    OpenDocument(folder_.WriteFile(L"empty.md", ""));
    OpenDocument(folder_ / L"missing.md");
    OpenDocument(folder_.MakeFolder(L"notes"));
    ASSERT_EQ(posted().size(), 3u);
    // Each open is a new document, with a number of its own.
    EXPECT_EQ(posted()[0], L"{\"action\":\"openFile\",\"name\":\"empty.md\",\"content\":\"\"" +
                               Generation(2, folder_ / L"empty.md") + L",\"encoding\":\"UTF-8\"}");
    EXPECT_EQ(posted()[1], L"{\"action\":\"openFile\",\"name\":\"missing.md\",\"content\":\"\"" +
                               Generation(1, folder_ / L"missing.md") + L",\"encoding\":\"UTF-8\"}");
    EXPECT_EQ(posted()[2], L"{\"action\":\"openFile\",\"name\":\"notes\",\"content\":\"\"" +
                               Generation(0, folder_ / L"notes") + L",\"encoding\":\"UTF-8\"}");
}

TEST_F(OpenDocumentTest, EveryDeliveryReadsTheFileAnew) {
    const std::wstring path = folder_.WriteFile(L"live.md", "one");
    OpenDocument(path);
    folder_.WriteFile(L"live.md", "two");
    OpenDocument(path);
    ASSERT_EQ(posted().size(), 2u);
    EXPECT_NE(posted()[0].find(L"\"one\""), std::wstring::npos);
    EXPECT_NE(posted()[1].find(L"\"two\""), std::wstring::npos);
}

TEST_F(OpenDocumentTest, ARefusedPostIsNotRetried) {
    view_->result = E_FAIL;
    OpenDocument(folder_.WriteFile(L"a.md", "a"));
    EXPECT_EQ(posted().size(), 1u);
}

TEST(OpenDocumentWithoutWebView, DoesNothing) {
    g_webView.Reset();
    OpenDocument(L"Z:\\nowhere\\nothing.md"); // must neither crash nor remember anything
    SUCCEED();
}

struct NameCase {
    std::wstring path;
    std::wstring name;
};

class DocumentNameTable : public ::testing::TestWithParam<NameCase> {};

TEST_P(DocumentNameTable, TakesTheLastComponent) {
    EXPECT_EQ(DocumentNameFromPath(GetParam().path), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Table, DocumentNameTable,
                         ::testing::Values(NameCase{L"C:\\docs\\readme.md", L"readme.md"},
                                           NameCase{L"docs/readme.md", L"readme.md"},
                                           NameCase{L"readme.md", L"readme.md"},
                                           NameCase{L"C:readme.md", L"readme.md"}, NameCase{L"C:\\", L"C:\\"},
                                           NameCase{L"\\\\server\\share\\a b.md", L"a b.md"}));

} // namespace
