// The parts of live reload that the program run end to end cannot reach: a watch that loses count, and
// a device the user asks to remove (the system's notices are synthesised; Wine sends none).
#include "app/document_watch.h"
#include "app/folder_watcher.h"

#include "support/inline_jobs.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT kWatcherMessage = WM_APP + 1;
constexpr ULONGLONG kPatience = 10000;

std::vector<LPARAM> g_reports;
std::vector<std::string> g_delivered;

void Record(const std::wstring&, std::shared_ptr<const std::string> bytes) noexcept {
    g_delivered.push_back(*bytes);
}

// A message-only window that records a folder watcher's reports and hands everything else to a watch.
class TestWindow {
public:
    explicit TestWindow(DocumentWatch* watch = nullptr) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"DocumentWatchTest";
        ::RegisterClassW(&windowClass);
        window_ = ::CreateWindowExW(0, L"DocumentWatchTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr);
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(watch));
        g_reports.clear();
        g_delivered.clear();
    }
    ~TestWindow() { ::DestroyWindow(window_); }
    operator HWND() const { return window_; }

    // Runs the message loop until `done` holds, or for at most `patience` milliseconds (by default the
    // patience of a loaded machine).
    template <typename Done> bool PumpUntil(Done done, ULONGLONG patience = kPatience) const {
        const ULONGLONG end = ::GetTickCount64() + patience;
        while (!done() && ::GetTickCount64() < end) {
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::DispatchMessageW(&message);
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return done();
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kWatcherMessage) {
            g_reports.push_back(lParam);
            return 0;
        }
        auto* watch = reinterpret_cast<DocumentWatch*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (watch != nullptr) {
            watch->HandleMessage(message, wParam, lParam);
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};

// As editors write: sharing the file with readers.
void Save(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

// What locking a volume for its removal needs: nobody else holds the folder open.
bool NobodyHolds(const std::wstring& folder) {
    HANDLE exclusive = ::CreateFileW(folder.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (exclusive == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(exclusive);
    return true;
}

TEST(FolderWatcher, ALostCountMeansLookNowAndTheWatchGoesOn) {
    TempFolder folder;
    const std::wstring path = folder.WriteFile(L"doc.md", "0");
    const TestWindow window;
    // Too small for any change's record: every change loses count.
    const auto watcher = FolderWatcher::Start(window, kWatcherMessage, 1, folder.path(), L"doc.md", 16);
    ASSERT_TRUE(watcher);
    for (int save = 1; save <= 5; ++save) {
        const size_t before = g_reports.size();
        Save(path, std::to_string(save));
        ASSERT_TRUE(window.PumpUntil([&] { return g_reports.size() > before; }))
            << "no report of save " << save;
    }
    for (const LPARAM report : g_reports) {
        EXPECT_EQ(report, FolderWatcher::kEntryChanged);
    }
}

TEST(DocumentWatch, LetsGoOfTheFolderWhenItsDeviceIsToBeRemoved) {
    TempFolder folder;
    const std::wstring path = folder.WriteFile(L"doc.md", "one");
    // Its looks at the disk run at once, so that each notice's effect can be seen as it returns.
    InlineJobs jobs;
    DocumentWatch watch(Record, jobs);
    const TestWindow window(&watch);
    watch.Start(window, path, L"doc.md", ReadDocumentBytes(path));
    const std::vector<HANDLE> held = watch.heldFolders();
    ASSERT_EQ(held.size(), 1u);
    EXPECT_FALSE(NobodyHolds(folder.path()));
    auto notify = [&](WPARAM event, HANDLE handle) {
        DEV_BROADCAST_HANDLE notice{};
        notice.dbch_size = sizeof(notice);
        notice.dbch_devicetype = DBT_DEVTYP_HANDLE;
        notice.dbch_handle = handle;
        ::SendMessageW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&notice));
    };

    // Another device's notice changes nothing.
    notify(DBT_DEVICEQUERYREMOVE, ::GetCurrentProcess());
    EXPECT_EQ(watch.heldFolders(), held);

    // Asked, the watch lets go; refused by someone else, it watches again.
    notify(DBT_DEVICEQUERYREMOVE, held[0]);
    EXPECT_TRUE(watch.heldFolders().empty());
    EXPECT_TRUE(NobodyHolds(folder.path()));
    EXPECT_FALSE(watch.polling()) << "a look could hold the device at the wrong moment";
    notify(DBT_DEVICEQUERYREMOVEFAILED, held[0]);
    ASSERT_EQ(watch.heldFolders().size(), 1u);
    EXPECT_FALSE(NobodyHolds(folder.path()));

    // While the device may go, a check that was due waits (it would open the file); it follows a refusal.
    const HANDLE current = watch.heldFolders()[0];
    watch.ShowAgain();
    notify(DBT_DEVICEQUERYREMOVE, current);
    EXPECT_FALSE(window.PumpUntil([] { return false; }, 400));
    EXPECT_TRUE(g_delivered.empty()) << "the file was read while its device was let go";
    notify(DBT_DEVICEQUERYREMOVEFAILED, current);
    ASSERT_TRUE(window.PumpUntil([] { return !g_delivered.empty(); }));
    EXPECT_EQ(g_delivered, std::vector<std::string>{"one"});
    g_delivered.clear();

    // Removed: the file is looked at once a second until it is back, and the delivery that follows
    // watches by notification again.
    const HANDLE again = watch.heldFolders()[0];
    notify(DBT_DEVICEQUERYREMOVE, again);
    notify(DBT_DEVICEREMOVECOMPLETE, again);
    EXPECT_TRUE(watch.heldFolders().empty());
    EXPECT_TRUE(watch.polling());
    Save(path, "two");
    ASSERT_TRUE(window.PumpUntil([] { return !g_delivered.empty(); }));
    EXPECT_EQ(g_delivered, std::vector<std::string>{"two"});
    EXPECT_FALSE(watch.polling());
    EXPECT_EQ(watch.heldFolders().size(), 1u);
    watch.Stop();
}

} // namespace
