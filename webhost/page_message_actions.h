// What the host does when the page speaks. The host hands these in when it starts the web view, so that
// this layer recognises the page's messages without knowing the host's state.
#pragma once

#include <windows.h>

// Either may be null: that message is then ignored. Both run on the user-interface thread and may throw
// (out of memory); the receiver contains it, and only that one message is lost.
struct PageMessageActions {
    // The page has loaded and listens.
    void (*ready)() = nullptr;
    // The user closed the document in the page; `mainWindow` holds the web view.
    void (*closeDoc)(HWND mainWindow) = nullptr;
};
