// The one error the user ever sees: the browser environment could not be created.
#pragma once

#include <windows.h>

inline constexpr wchar_t kEnvironmentFailureCaption[] = L"Tallowmere \u9519\u8BEF";
inline constexpr wchar_t kEnvironmentFailureText[] =
    L"WebView2 \u73AF\u5883\u521B\u5EFA\u5931\u8D25\u3002\n"
    L"\u8BF7\u786E\u8BA4\u5DF2\u5B89\u88C5 Edge WebView2 \u8FD0\u884C\u65F6\u3002";
inline constexpr UINT kEnvironmentFailureStyle = MB_ICONERROR | MB_OK;

// Shows the message box, owned by `owner`, and waits until the user dismisses it.
void ShowEnvironmentFailure(HWND owner) noexcept;

// The box is shown through this function so that tests can watch it without a modal window; the
// program always uses MessageBoxW.
using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);
extern MessageBoxFunction g_environmentFailureMessageBox;
