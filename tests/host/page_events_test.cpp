// The host's answers to the page's messages, with the web view replaced by a recorder.
#include "app/page_events.h"

#include "app/current_document.h"
#include "app/document_jobs.h"
#include "app/host_state.h"
#include "platform/com_adopt.h"
#include "support/inline_jobs.h"
#include "support/recording_web_view.h"
#include "support/temp_folder.h"
#include "webhost/browser/browser_references.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <new>
#include <string>
#include <vector>

namespace {

// A path as a JSON string holds it: each backslash doubled.
std::wstring JsonEscaped(const std::wstring& path) {
    std::wstring escaped;
    for (const wchar_t c : path) {
        escaped.append(c == L'\\' ? L"\\\\" : std::wstring(1, c));
    }
    return escaped;
}

// Runs out of memory while a document is being delivered.
class ExhaustedWebView final : public RecordingWebView {
public:
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR) override { throw std::bad_alloc(); }
};

class PageEventsTest : public ::testing::Test {
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
        g_pageReady = false;
        g_pendingDocumentPath.clear();
    }

    Microsoft::WRL::ComPtr<RecordingWebView> view_;
    InlineJobs jobs_;
    TempFolder folder_;
};

TEST_F(PageEventsTest, ReadyDeliversThePendingDocumentOnceAndForgetsIt) {
    g_pendingDocumentPath = folder_.WriteFile(L"tallowmere-ready.md", "abc");
    OnPageReady();
    EXPECT_TRUE(g_pageReady);
    EXPECT_TRUE(g_pendingDocumentPath.empty());
    EXPECT_EQ(
        view_->posted,
        std::vector<std::wstring>{
            L"{\"action\":\"openFile\",\"name\":\"tallowmere-ready.md\",\"content\":\"abc\",\"generation\":" +
            std::to_wstring(CurrentDocumentGeneration()) + L",\"path\":\"" +
            JsonEscaped(folder_ / L"tallowmere-ready.md") + L"\",\"encoding\":\"UTF-8\"}"});
    EXPECT_EQ(CurrentDocumentPath(), folder_ / L"tallowmere-ready.md")
        << "the delivered document's folder is served";

    OnPageReady();
    EXPECT_EQ(view_->posted.size(), 1u) << "a second ready delivers nothing";
}

TEST_F(PageEventsTest, ADeliveryThatFailsIsNotRepeatedByALaterReady) {
    const auto exhausted = AdoptComPtr(new ExhaustedWebView());
    g_webView = exhausted.Get();
    g_pendingDocumentPath = folder_.WriteFile(L"lost.md", "abc");
    EXPECT_THROW(OnPageReady(), std::bad_alloc);
    EXPECT_TRUE(g_pageReady);
    EXPECT_TRUE(g_pendingDocumentPath.empty());

    g_webView = view_.Get();
    OnPageReady(); // the page reloaded
    EXPECT_TRUE(view_->posted.empty());
}

TEST_F(PageEventsTest, CloseDocOfTheShownDeliveryResetsTheTitleAndForgetsTheShownDocument) {
    SetCurrentDocument(nullptr, L"C:\\shown\\notes.md", L"notes.md", 2, {});
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"changed", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400,
                                          nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    g_pendingDocumentPath = L"C:\\pending.md";
    const auto title = [&] {
        wchar_t text[64] = {};
        ::GetWindowTextW(window, text, 64);
        return std::wstring(text);
    };
    // The page closed a delivery the host has replaced since, or named none: the shown one stays.
    for (const uint32_t stale : {1u, 0u}) {
        OnPageClosedDocument(window, stale);
        EXPECT_EQ(title(), L"changed");
        EXPECT_EQ(CurrentDocumentPath(), L"C:\\shown\\notes.md");
    }
    OnPageClosedDocument(window, 2);
    EXPECT_EQ(title(), L"Tallowmere");
    ::DestroyWindow(window);
    EXPECT_FALSE(g_pageReady);
    EXPECT_EQ(g_pendingDocumentPath, L"C:\\pending.md");
    EXPECT_TRUE(view_->posted.empty());
    EXPECT_TRUE(CurrentDocumentPath().empty()) << "its folder would still be served";
}

} // namespace
