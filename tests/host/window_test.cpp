// The real program under Wine: its main window as a user meets it, and a clean exit.
#include "support/child_process.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramWindow, OpensAsTabledAndClosingEndsTheProcessWithZero) {
    ChildProcess program;
    ASSERT_TRUE(program.Start(TALLOWMERE_EXE_PATH, L""));
    HWND window = WaitForProcessWindow(program.info.dwProcessId, L"TallowmereWnd", 30000);
    ASSERT_NE(window, nullptr);

    wchar_t title[64]{};
    ::GetWindowTextW(window, title, 64);
    EXPECT_STREQ(title, L"Tallowmere");
    RECT outer{};
    ::GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, 1280);
    EXPECT_EQ(outer.bottom - outer.top, 800);
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(::GetMenu(window), nullptr);

    // Without a browser runtime the program reports it in a message box; dismiss it first.
    for (HWND box : FindProcessWindows(program.info.dwProcessId, L"#32770")) {
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(30000), 0u);
}

} // namespace
