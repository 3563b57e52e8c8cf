#include "test_runtime/dispatcher.h"

#include <deque>
#include <map>
#include <utility>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace test_runtime {
namespace {

constexpr UINT kRunQueued = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"TallowmereTestRuntimeDispatcher";

struct Dispatcher {
    HWND window = nullptr;
    std::deque<std::function<void()>> queue;
    std::map<UINT_PTR, std::function<void()>> timers;
    UINT_PTR nextTimer = 1;
};

Dispatcher& State() {
    static Dispatcher dispatcher;
    return dispatcher;
}

void RunGuarded(const std::function<void()>& work) noexcept {
    try {
        work();
    } catch (...) {
        // A failing step of the fake runtime must not take the host's message loop down with it.
    }
}

LRESULT CALLBACK DispatcherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    Dispatcher& state = State();
    if (message == kRunQueued) {
        if (!state.queue.empty()) {
            std::function<void()> work = std::move(state.queue.front());
            state.queue.pop_front();
            RunGuarded(work);
        }
        return 0;
    }
    if (message == WM_TIMER) {
        ::KillTimer(window, wParam);
        const auto found = state.timers.find(wParam);
        if (found != state.timers.end()) {
            std::function<void()> work = std::move(found->second);
            state.timers.erase(found);
            RunGuarded(work);
        }
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND Window() noexcept {
    Dispatcher& state = State();
    if (state.window == nullptr) {
        const HINSTANCE instance = reinterpret_cast<HINSTANCE>(&__ImageBase);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DispatcherProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        ::RegisterClassExW(&windowClass);
        state.window =
            ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    }
    return state.window;
}

} // namespace

void Post(std::function<void()> work) noexcept {
    try {
        const HWND window = Window();
        State().queue.push_back(std::move(work));
        ::PostMessageW(window, kRunQueued, 0, 0);
    } catch (...) {
    }
}

void RunAfter(UINT milliseconds, std::function<void()> work) noexcept {
    try {
        Dispatcher& state = State();
        const HWND window = Window();
        const UINT_PTR id = state.nextTimer++;
        state.timers.emplace(id, std::move(work));
        ::SetTimer(window, id, milliseconds, nullptr);
    } catch (...) {
    }
}

} // namespace test_runtime
