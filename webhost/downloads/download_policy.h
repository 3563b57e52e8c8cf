// What a download the page starts may do. The control's own download is never used: the author of a
// document would choose the saved name and extension, and downloads of the program's own answers are
// unreliable. Instead a file beside the document is offered for saving under a name whose extension is
// always the file's own, a web address the user asked for opens in the default browser like a link, and
// everything else (data: and blob: addresses, the page itself, web addresses no one asked for) is refused.
#pragma once

#include <string>
#include <string_view>

enum class DownloadAction {
    Refuse,           // nothing happens
    SaveDocumentFile, // the file at `target` (an address under the document base) is offered as `saveName`
    OpenExternally,   // the default browser opens `target`
};

struct DownloadDecision {
    DownloadAction action = DownloadAction::Refuse;
    std::wstring target;
    std::wstring saveName;
};

// `uri` is the download's address, `suggestedPath` the path the runtime would save to (its last
// component is the name the page suggested, as a `download` attribute or a card's name),
// `userInitiated` whether the user just acted, `documentPath` the current document (empty: none).
// Touches no disk: whether the file exists is learned when it is opened.
DownloadDecision DecideDownload(std::wstring_view uri, std::wstring_view suggestedPath, bool userInitiated,
                                const std::wstring& documentPath);

// The name a file is offered under: the suggested name with its extension replaced by the source
// file's own (`invoice.exe` for `notes.txt` gives `invoice.txt`), or the source's own name when the
// suggestion leaves no plain file name.
std::wstring SaveNameFor(std::wstring_view suggestedName, std::wstring_view sourcePath);

// The extension of a path's last component, without the dot; empty when it has none (a leading dot
// starts a name, not an extension).
std::wstring_view ExtensionOf(std::wstring_view path) noexcept;
