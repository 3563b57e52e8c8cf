#include "app/current_document.h"
#include "app/document_jobs.h"
#include "app/host_state.h"
#include "app/main_window.h"

#include "platform/com_adopt.h"
#include "support/com_stubs.h"
#include "support/dropped_files.h"
#include "support/inline_jobs.h"
#include "support/recording_web_view.h"
#include "webhost/browser/browser_references.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <vector>

namespace {

using Microsoft::WRL::ComPtr;

struct CentreCase {
    int screenWidth, screenHeight, x, y;
};

class CentringTable : public ::testing::TestWithParam<CentreCase> {};

TEST_P(CentringTable, CentresWithTruncationTowardZero) {
    const POINT origin = CenteredWindowOrigin(GetParam().screenWidth, GetParam().screenHeight);
    EXPECT_EQ(origin.x, GetParam().x);
    EXPECT_EQ(origin.y, GetParam().y);
}

INSTANTIATE_TEST_SUITE_P(Table, CentringTable,
                         ::testing::Values(CentreCase{1920, 1080, 320, 140}, CentreCase{1024, 768, -128, -16},
                                           CentreCase{1279, 800, 0, 0}, CentreCase{1281, 801, 0, 0},
                                           CentreCase{1280, 800, 0, 0}, CentreCase{1277, 797, -1, -1}));

class RecordingController : public StubController {
public:
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override {
        bounds_.push_back(bounds);
        return S_OK;
    }
    std::vector<RECT> bounds_;
};

// A real main window on which the tests send the messages the shell and the user would. One window
// serves the whole suite: under Wine without a window manager every visible window costs about two
// seconds to create.
class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterMainWindowClass(::GetModuleHandleW(nullptr));
        window_ = CreateMainWindow(::GetModuleHandleW(nullptr));
    }
    static void TearDownTestSuite() {
        if (::IsWindow(window_)) {
            ::DestroyWindow(window_);
        }
        DrainMessages();
    }
    static void DrainMessages() {
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    void SetUp() override {
        // Each delivery is read and posted before the call that asks for it returns.
        UseDocumentJobRunner(&jobs_);
        ASSERT_NE(window_, nullptr);
        view_ = AdoptComPtr(new RecordingWebView());
        g_pendingDocumentPath.clear();
        g_pageReady = false;
    }
    void TearDown() override {
        UseDocumentJobRunner(nullptr);
        g_webViewController.Reset();
        g_webView.Reset();
        g_pendingDocumentPath.clear();
        g_pageReady = false;
    }

    void Drop(const std::vector<std::wstring>& paths) {
        // The window procedure finishes the drop, which frees the handle.
        ::SendMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDropHandle(paths).release()), 0);
    }

    static inline HWND window_ = nullptr;
    ComPtr<RecordingWebView> view_;
    InlineJobs jobs_;
};

TEST_F(MainWindowTest, IsCreatedAsTabled) {
    wchar_t title[64]{};
    ::GetWindowTextW(window_, title, 64);
    EXPECT_STREQ(title, L"Tallowmere");
    wchar_t className[64]{};
    ::GetClassNameW(window_, className, 64);
    EXPECT_STREQ(className, L"TallowmereWnd");
    RECT outer{};
    ::GetWindowRect(window_, &outer);
    EXPECT_EQ(outer.right - outer.left, 1280);
    EXPECT_EQ(outer.bottom - outer.top, 800);
    EXPECT_TRUE(::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(::IsWindowVisible(window_));
}

TEST_F(MainWindowTest, DropsBeforeReadyOnlyReplaceThePendingDocument) {
    g_webView = view_.Get();
    g_pendingDocumentPath = L"from-command-line.md";
    Drop({L"C:\\first.md"});
    Drop({L"C:\\second.md", L"C:\\ignored.md"});
    EXPECT_EQ(g_pendingDocumentPath, L"C:\\second.md");
    EXPECT_TRUE(view_->posted.empty());
}

TEST_F(MainWindowTest, DropAfterReadyIsDeliveredAtOnceAndEachTime) {
    g_webView = view_.Get();
    g_pageReady = true;
    Drop({L"Z:\\no\\such\\dropped.md"});
    Drop({L"Z:\\no\\such\\dropped.md"});
    // Each is a document of its own, and enters the window's history (whose news the page gets too).
    std::vector<std::wstring> documents;
    for (const std::wstring& post : view_->posted) {
        if (post.rfind(L"{\"action\":\"openFile\"", 0) == 0) {
            documents.push_back(post);
        }
    }
    ASSERT_EQ(documents.size(), 2u);
    EXPECT_EQ(view_->posted.back(), L"{\"action\":\"history\",\"back\":\"dropped.md\",\"forward\":\"\"}");
    EXPECT_EQ(documents[0],
              L"{\"action\":\"openFile\",\"name\":\"dropped.md\",\"content\":\"\",\"generation\":" +
                  std::to_wstring(CurrentDocumentGeneration() - 1) +
                  L",\"path\":\"Z:\\\\no\\\\such\\\\dropped.md\",\"encoding\":\"UTF-8\"}");
    EXPECT_TRUE(g_pendingDocumentPath.empty());
}

TEST_F(MainWindowTest, AnOverlongDroppedPathArrivesWhole) {
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'd') + L"\\deep.md";
    Drop({longPath});
    EXPECT_EQ(g_pendingDocumentPath, longPath);
}

TEST_F(MainWindowTest, ADropWithoutFilesChangesNothing) {
    g_pendingDocumentPath = L"kept.md";
    Drop({});
    EXPECT_EQ(g_pendingDocumentPath, L"kept.md");
}

TEST_F(MainWindowTest, ResizeHandsTheClientRectangleToTheController) {
    ::SendMessageW(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 100)); // no controller yet: nothing
    ComPtr<RecordingController> controller;
    controller = AdoptComPtr(new RecordingController());
    g_webViewController = controller.Get();
    ::SetWindowPos(window_, nullptr, 0, 0, 900, 600, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_FALSE(controller->bounds_.empty());
    RECT client{};
    ::GetClientRect(window_, &client);
    const RECT last = controller->bounds_.back();
    EXPECT_EQ(last.left, 0);
    EXPECT_EQ(last.top, 0);
    EXPECT_EQ(last.right, client.right);
    EXPECT_EQ(last.bottom, client.bottom);
}

TEST_F(MainWindowTest, DestroyReleasesBothReferencesAndQuitsWithZero) {
    ComPtr<RecordingController> controller;
    controller = AdoptComPtr(new RecordingController());
    g_webViewController = controller.Get();
    g_webView = view_.Get();
    HWND own = CreateMainWindow(::GetModuleHandleW(nullptr)); // the suite's window must outlive this test
    ASSERT_NE(own, nullptr);
    ::DestroyWindow(own);
    EXPECT_EQ(g_webViewController, nullptr);
    EXPECT_EQ(g_webView, nullptr);
    EXPECT_EQ(controller->references(), 1u); // only the test's own reference is left
    EXPECT_EQ(view_->references(), 1u);
    MSG message{};
    ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

} // namespace
