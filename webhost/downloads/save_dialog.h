// Asking the user where to save a file: the system's save dialog, opened in a folder with a proposed
// name and type, which itself asks before an existing file is replaced; and the message box that says
// a save failed. Both the export and the "save as" of a file beside the document ask this way.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// What the dialog proposes.
struct SaveProposal {
    std::wstring folder;       // where it opens; empty: where the system would open it
    std::wstring name;         // the file name offered; empty: none
    std::wstring extension;    // without the dot; empty: any type, nothing added to a bare name
    std::wstring typeLabel;    // the type as the dialog lists it; empty: the extension itself
    bool onlyThisType = false; // names of any other type are refused (the extension is added instead)
};

// Shows the dialog, owned by `owner`, and waits for the user: on the window's thread, and never inside
// a callback of the browser control (see window_tasks.h). S_OK with the full path in `chosen`, S_FALSE
// when the user cancels, or the failure.
HRESULT AskWhereToSave(HWND owner, const SaveProposal& proposal, std::wstring& chosen) noexcept;

// Tells the user that nothing could be saved at `destination`: `lead` and the path, in a message box
// shown from `window`'s queue. From any thread.
void ReportSaveFailure(HWND window, std::wstring_view lead, const std::wstring& destination) noexcept;
