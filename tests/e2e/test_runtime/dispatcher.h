// Runs the runtime's work later on the caller's own thread, through its message loop, as the real
// runtime delivers every completion and event: never inside the call that asked for it.
#pragma once

#include <windows.h>

#include <functional>

namespace test_runtime {

// Queues `work` behind everything already posted to the thread. The first use creates a hidden
// message-only window on the calling thread; every later use must come from that same thread.
void Post(std::function<void()> work) noexcept;

// Runs `work` once, about `milliseconds` from now (a thread timer: it waits for posted messages first).
void RunAfter(UINT milliseconds, std::function<void()> work) noexcept;

} // namespace test_runtime
