// Runs work on the user-interface thread that created it, through that thread's own message loop: the
// browser platform promises every completion and event on the thread that made the request, and the
// program's handlers are single-threaded COM objects.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class UiDispatcher {
public:
    UiDispatcher() = default;
    UiDispatcher(const UiDispatcher&) = delete;
    UiDispatcher& operator=(const UiDispatcher&) = delete;
    ~UiDispatcher();

    // Creates the hidden message window on the calling thread, which becomes the dispatching thread.
    HRESULT Start() noexcept;

    // Queues `task` from any thread; it runs later on the dispatching thread, in order. Tasks still queued
    // when the dispatcher goes away are dropped unrun.
    HRESULT Post(std::function<void()> task) noexcept;

    [[nodiscard]] bool IsDispatchingThread() const noexcept { return ::GetCurrentThreadId() == threadId_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void RunQueued() noexcept;

    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    const std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
};
