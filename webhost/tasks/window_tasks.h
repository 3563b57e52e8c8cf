// Work that must not run inside a callback of the browser control (launching another program, showing a
// dialog: either can pump messages into the control while it waits for the callback to return) is
// queued here and run from the main window's procedure once the callback has returned. Workers use the
// same queue to bring their results back to the window's thread.
#pragma once

#include <windows.h>

#include <functional>

// The private message that tells the window a task is waiting.
inline constexpr UINT kWindowTaskMessage = WM_APP + 0x20;

// Queues `task` to run on `window`'s thread. From any thread. The queue owns the task until it runs: a
// task the window never runs (it is gone) is destroyed with the queue. False, and the task dropped,
// when the queue is full or the window cannot be told.
bool PostWindowTask(HWND window, std::function<void()> task) noexcept;

// In the window procedure: runs the task that `kWindowTaskMessage` announced; false for any other
// message. A task that throws is abandoned; nothing escapes.
bool HandleWindowTaskMessage(UINT message) noexcept;
