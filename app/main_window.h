// The main window: its class, its creation centred on the primary screen, and its window procedure.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

inline constexpr wchar_t kMainWindowClassName[] = L"TallowmereWnd";
inline constexpr wchar_t kMainWindowTitle[] = L"Tallowmere";
inline constexpr int kMainWindowWidth = 1280;
inline constexpr int kMainWindowHeight = 800;

// Top-left corner that centres the window on a screen of the given size. Integer division truncates
// toward zero and nothing clamps, so a screen smaller than the window gives negative coordinates.
POINT CenteredWindowOrigin(int screenWidth, int screenHeight) noexcept;

ATOM RegisterMainWindowClass(HINSTANCE instance) noexcept;

// Creates the visible main window centred on the primary screen and enables dropping on it.
HWND CreateMainWindow(HINSTANCE instance, bool visible = true) noexcept;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// The first path of a drop, obtained whole whatever its length; empty when there is none.
std::wstring FirstDroppedPath(HDROP drop);

// A document that arrived by drop: delivered at once when the page is ready, otherwise it replaces
// the pending document.
void AcceptDroppedDocument(const std::wstring& path);
