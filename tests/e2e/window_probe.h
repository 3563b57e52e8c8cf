// Looking at another process's windows from the test: its main window and its message boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Visible top-level windows of process `processId` whose class is `className`.
std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className);

// Polls until such a window exists or `milliseconds` pass; null on timeout.
HWND WaitForTopLevelWindow(DWORD processId, const wchar_t* className, DWORD milliseconds);

// What a person sees of a message box.
struct MessageBoxView {
    std::wstring caption;
    std::wstring text; // the text of the static control that holds the message
    HWND owner = nullptr;
    bool hasIcon = false;       // a static control showing an icon
    std::vector<int> buttonIds; // control ids of the push buttons, in window order
};

MessageBoxView ReadMessageBox(HWND dialog);

// Presses OK (as a click would) and waits until the box is gone.
bool DismissMessageBox(HWND dialog, DWORD milliseconds);

std::wstring WindowText(HWND window);
