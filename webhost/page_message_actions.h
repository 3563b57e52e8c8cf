// What the host does when the page speaks, and where its current document lives. The host hands these in
// when it starts the web view, so that this layer answers the page without knowing the host's state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Any may be null: that message (or link, or file) is then ignored. All run on the user-interface thread;
// the first three and `reloadDocument` may throw (out of memory), the receiver contains it, and only that
// one message is lost.
struct PageMessageActions {
    // The page has loaded and listens.
    void (*ready)() = nullptr;
    // The page closed the document of delivery `generation` (the close button, or a document of its own
    // in its place; 0 when the message named none); `mainWindow` holds the web view.
    void (*closeDoc)(HWND mainWindow, uint32_t generation) = nullptr;
    // The user followed a link to a document beside the shown one (`path`, an existing file).
    void (*openLinkedDocument)(const std::wstring& path) = nullptr;
    // The full path of the document the page shows, empty when there is none: the files beside it are
    // served to the page. Without it nothing beside a document is.
    const std::wstring& (*currentDocument)() noexcept = nullptr;
    // The number of the delivery the page shows (the openFile message's "generation"): only addresses
    // carrying it are answered, so a document shown before never gets the files of the next.
    uint32_t (*currentGeneration)() noexcept = nullptr;
    // The user asked the control to reload (F5, Ctrl+R, the context menu): the current document is shown
    // again as it is on disk now, at the reader's place. The page itself is never reloaded.
    void (*reloadDocument)() = nullptr;
};
