#include "app/main_window.h"

#include "app/current_document.h"
#include "app/document_history.h"
#include "app/host_state.h"
#include "webhost/browser/browser_references.h"
#include "webhost/downloads/document_download.h"
#include "webhost/tasks/window_tasks.h"

namespace {

void HandleDropFiles(HDROP drop) noexcept {
    try {
        const std::wstring path = FirstDroppedPath(drop);
        if (!path.empty()) {
            AcceptDroppedDocument(path);
        }
    } catch (...) {
        // Out of memory while copying a path or a document: the drop is lost, the window lives on.
    }
    ::DragFinish(drop);
}

void HandleSize(HWND window) noexcept {
    if (!g_webViewController) {
        return;
    }
    RECT bounds{};
    ::GetClientRect(window, &bounds);
    g_webViewController->put_Bounds(bounds);
}

void HandleDestroy() noexcept {
    // The watch's thread must not outlive the window it reports to.
    CloseCurrentDocument();
    // A copy cut short would leave a partial file: each is called off and its temporary file removed.
    CancelDocumentSaves();
    // Released, not closed: the control goes away with its last reference.
    g_webViewController.Reset();
    g_webView.Reset();
    ::PostQuitMessage(0);
}

} // namespace

POINT CenteredWindowOrigin(int screenWidth, int screenHeight) noexcept {
    return POINT{(screenWidth - kMainWindowWidth) / 2, (screenHeight - kMainWindowHeight) / 2};
}

ATOM RegisterMainWindowClass(HINSTANCE instance) noexcept {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kMainWindowClassName;
    windowClass.hIconSm = nullptr;
    return ::RegisterClassExW(&windowClass);
}

HWND CreateMainWindow(HINSTANCE instance, bool visible) noexcept {
    const POINT origin =
        CenteredWindowOrigin(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    HWND window = ::CreateWindowExW(WS_EX_ACCEPTFILES, kMainWindowClassName, kMainWindowTitle,
                                    WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), origin.x, origin.y,
                                    kMainWindowWidth, kMainWindowHeight, nullptr, nullptr, instance, nullptr);
    if (window != nullptr) {
        ::DragAcceptFiles(window, TRUE);
    }
    return window;
}

std::wstring FirstDroppedPath(HDROP drop) {
    // Ask for the length first so that long paths arrive whole rather than cut at MAX_PATH.
    const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::wstring path(static_cast<size_t>(length) + 1, L'\0');
    const UINT copied = ::DragQueryFileW(drop, 0, path.data(), length + 1);
    if (copied == 0) {
        return {};
    }
    path.resize(copied < length ? copied : length);
    return path;
}

void AcceptDroppedDocument(const std::wstring& path) {
    if (g_pageReady) {
        OpenNewDocument(path);
    } else {
        g_pendingDocumentPath = path;
    }
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
    case WM_DESTROY:
        HandleDestroy();
        break;
    case WM_SIZE:
        HandleSize(window);
        break;
    case WM_DROPFILES:
        HandleDropFiles(reinterpret_cast<HDROP>(wParam));
        break;
    default:
        if (!HandleWindowTaskMessage(message)) {
            HandleCurrentDocumentMessage(message, wParam, lParam);
        }
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}
