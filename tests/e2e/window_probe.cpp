#include "window_probe.h"

#include <cwchar>

namespace {

constexpr DWORD kPollInterval = 25;

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

struct TopLevelSearch {
    DWORD processId;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) noexcept {
    auto* search = reinterpret_cast<TopLevelSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && ::IsWindowVisible(window) && ClassName(window) == search->className) {
        search->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context) noexcept {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

} // namespace

std::wstring WindowText(HWND window) {
    // WM_GETTEXT is marshalled across processes, unlike a plain read of another process's memory.
    const LRESULT length = ::SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        ::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className) {
    TopLevelSearch search{processId, className, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopLevelWindow(DWORD processId, const wchar_t* className, DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        const std::vector<HWND> windows = TopLevelWindows(processId, className);
        if (!windows.empty()) {
            return windows.front();
        }
        if (::GetTickCount64() >= deadline) {
            return nullptr;
        }
        ::Sleep(kPollInterval);
    }
}

MessageBoxView ReadMessageBox(HWND dialog) {
    MessageBoxView view;
    view.caption = WindowText(dialog);
    view.owner = ::GetWindow(dialog, GW_OWNER);
    std::vector<HWND> children;
    ::EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        const std::wstring className = ClassName(child);
        const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
        if (_wcsicmp(className.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                view.hasIcon = true;
            } else {
                const std::wstring text = WindowText(child);
                if (!text.empty()) {
                    view.text = text;
                }
            }
        } else if (_wcsicmp(className.c_str(), L"Button") == 0 && ::IsWindowVisible(child)) {
            view.buttonIds.push_back(::GetDlgCtrlID(child));
        }
    }
    return view;
}

bool DismissMessageBox(HWND dialog, DWORD milliseconds) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    while (::IsWindow(dialog)) {
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::Sleep(kPollInterval);
    }
    return true;
}
