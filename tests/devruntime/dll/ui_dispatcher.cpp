#include "ui_dispatcher.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr wchar_t kWindowClassName[] = L"TallowmereDevRuntimeDispatcher";
constexpr UINT kRunQueuedMessage = WM_APP + 1;

// This library's own module: the dispatcher's window class belongs to it, not to the program.
HINSTANCE ThisModule() noexcept {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

} // namespace

UiDispatcher::~UiDispatcher() {
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
}

HRESULT UiDispatcher::Start() noexcept {
    const HINSTANCE module = ThisModule();
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kWindowClassName;
    // A second environment in the same process finds the class already registered.
    if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    window_ = ::CreateWindowExW(0, kWindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, this);
    if (window_ == nullptr) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    threadId_ = ::GetCurrentThreadId();
    return S_OK;
}

HRESULT UiDispatcher::Post(std::function<void()> task) noexcept {
    if (window_ == nullptr) {
        return E_UNEXPECTED;
    }
    try {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    // One wake-up per task; a failed post leaves the task for the next wake-up.
    if (!::PostMessageW(window_, kRunQueuedMessage, 0, 0)) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    return S_OK;
}

void UiDispatcher::RunQueued() noexcept {
    // A task may release the last reference to whatever owns this dispatcher; `alive` tells when `this`
    // is gone so that the loop stops touching it.
    const std::weak_ptr<const int> alive = lifetime_;
    while (!alive.expired()) {
        std::function<void()> task;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return;
            }
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        try {
            task();
        } catch (...) {
            // A task that runs out of memory loses its own work only.
        }
    }
}

LRESULT CALLBACK UiDispatcher::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == kRunQueuedMessage) {
        if (auto* self = reinterpret_cast<UiDispatcher*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
            self->RunQueued();
        }
        return 0;
    } else if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}
