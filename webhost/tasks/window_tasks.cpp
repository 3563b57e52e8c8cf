#include "webhost/tasks/window_tasks.h"

#include <deque>
#include <mutex>

namespace {

// More waiting tasks than a person could have asked for: the rest come from a document, and go.
constexpr size_t kMaxWaitingTasks = 32;

std::mutex g_lock;
std::deque<std::function<void()>> g_tasks;

} // namespace

bool PostWindowTask(HWND window, std::function<void()> task) noexcept {
    try {
        const std::lock_guard<std::mutex> guard(g_lock);
        if (!task || g_tasks.size() >= kMaxWaitingTasks) {
            return false;
        }
        g_tasks.push_back(std::move(task));
        // One message for each task, posted under the lock, so that each message finds its task.
        if (!::PostMessageW(window, kWindowTaskMessage, 0, 0)) {
            g_tasks.pop_back();
            return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool HandleWindowTaskMessage(UINT message) noexcept {
    if (message != kWindowTaskMessage) {
        return false;
    }
    try {
        std::function<void()> task;
        {
            const std::lock_guard<std::mutex> guard(g_lock);
            if (g_tasks.empty()) {
                return true;
            }
            task = std::move(g_tasks.front());
            g_tasks.pop_front();
        }
        // Run outside the lock: a task may show a dialog, whose message loop runs further tasks.
        task();
    } catch (...) {
        // Out of memory in a task: that one thing is not done.
    }
    return true;
}
