// What following a link may do. The viewer never leaves its page and never opens a window of the
// runtime's own: a link either opens in the user's own programs, opens in the viewer, or does nothing.
#pragma once

#include "webhost/serving/document_file.h"

#include <windows.h>

#include <string>
#include <string_view>

enum class LinkAction {
    Refuse,         // nothing happens, and nothing is said
    OpenExternally, // the default browser (http, https) or mail program (mailto) opens `target`
    OpenInViewer, // the document at `target` is shown, as if dropped on the window, once CheckLinkedDocument
                  // has let it through
};

struct LinkDecision {
    LinkAction action = LinkAction::Refuse;
    std::wstring target;   // the address to open, or the document's path
    std::wstring fragment; // OpenInViewer: the address's fragment as written, without "#" (empty: none)
};

// Only what the user asked for is followed, and the link's text alone decides here (nothing is looked
// at on disk). A web or mail address opens outside (made safe for a command line: characters outside
// printable ASCII, quotes, spaces and the like are percent-encoded; overlong addresses are refused; a
// mail address keeps only its subject, body, cc and bcc fields). An address under the document base
// that carries the number of the delivery shown now (`shown`) and names a .md, .markdown, .mdown, .mkd
// or .txt file opens in the viewer, subject to CheckLinkedDocument. Everything else is refused: the
// page's own origin otherwise (an address of a document shown before included), file:, script and
// data: URLs, and every other scheme (a custom protocol handler is a known way in); local files are
// never launched.
//
// Links that leave the document's root. The files beside a document are served only from inside its
// root (document_root.h). A link to another document is different: the reader clicked it and the
// viewer only shows the document, so it opens even when it climbs above the root or leads out of it
// through a link or junction, as a browser follows a link to another site. The document it opens has
// its own root from then on.
LinkDecision DecideLink(std::wstring_view uri, bool userInitiated, const ServedDocument& shown);

// Whether the document at `path` (from DecideLink) may be opened, judged on a handle open to it by what
// the handle really is: S_OK for a regular file on a disk, whose final path (every link and junction on
// the way followed) lies on a local volume, or on the share that `path` itself names. S_FALSE for
// anything else: missing, a folder, a device or pipe, or a file that a link or junction led to a share.
// Looks at the disk: never call it on the user-interface thread. Fails only when out of memory.
HRESULT CheckLinkedDocument(const std::wstring& path) noexcept;

// The longest address handed to another program.
inline constexpr size_t kMaxExternalAddress = 2048;
