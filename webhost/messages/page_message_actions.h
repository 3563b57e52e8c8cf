// What the host does when the page speaks, and where its current document lives. The host hands these in
// when it starts the web view, so that this layer answers the page without knowing the host's state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Any may be null: that message (or link, or file) is then ignored. All run on the user-interface thread;
// all but the two readers of the current document may throw (out of memory), the receiver contains it,
// and only that one message is lost.
struct PageMessageActions {
    // The page has loaded and listens.
    void (*ready)() = nullptr;
    // The page closed the document of delivery `generation` (its close button; 0 when the message named
    // none); `mainWindow` holds the web view.
    void (*closeDoc)(HWND mainWindow, uint32_t generation) = nullptr;
    // The user followed a link to a document (`path`, a regular file the link rules let through), or chose
    // one in the page's panel; `fragment` is the link's fragment as written (empty: none).
    void (*openLinkedDocument)(const std::wstring& path, const std::wstring& fragment) = nullptr;
    // The full path of the document the page shows, empty when there is none: the files beside it are
    // served to the page. Without it nothing beside a document is.
    const std::wstring& (*currentDocument)() noexcept = nullptr;
    // The number of the delivery the page shows (the openFile message's "generation"): only addresses
    // carrying it are answered, so a document shown before never gets the files of the next.
    uint32_t (*currentGeneration)() noexcept = nullptr;
    // The user asked the control to reload (F5, Ctrl+R, the context menu): the current document is shown
    // again as it is on disk now, at the reader's place. The page itself is never reloaded.
    void (*reloadDocument)() = nullptr;
    // The reader asked for the document before or after the shown one in the window's history.
    void (*goBack)() = nullptr;
    void (*goForward)() = nullptr;
    // The page reports where the reader left a document: the delivery `generation` of the host's, or
    // (generation 0) the document it read itself under the number `own`. `place` is the page's own text.
    void (*rememberPlace)(uint32_t generation, uint32_t own, const std::wstring& place) = nullptr;
    // The page shows a document it read itself (file picker, a drop on the page), under the number `own`.
    void (*showOwnDocument)(HWND mainWindow, uint32_t own, const std::wstring& name) = nullptr;
    // The page exported the shown document (see export_messages.h): `html` is the whole HTML file; for a
    // PDF the page stands finished, ready to be printed. `name` is the file name the page proposes.
    void (*exportHtml)(HWND mainWindow, const std::wstring& name, const std::wstring& html) = nullptr;
    void (*exportPdf)(HWND mainWindow, const std::wstring& name) = nullptr;
    // The page set the paper size the host sent before printing a PDF.
    void (*paperSet)(HWND mainWindow) = nullptr;
    // The reader chose the encoding (its name as the openFile message gives it) to read the host's
    // delivery `generation` in.
    void (*chooseEncoding)(uint32_t generation, const std::wstring& encoding) = nullptr;
};
