// What following a link may do. The viewer never leaves its page and never opens a window of the
// runtime's own: a link either opens in the user's own programs, opens in the viewer, or does nothing.
#pragma once

#include <string>
#include <string_view>

enum class LinkAction {
    Refuse,         // nothing happens, and nothing is said
    OpenExternally, // the default browser (http, https) or mail program (mailto) opens `target`
    OpenInViewer,   // the document at `target` is shown, as if dropped on the window
};

struct LinkDecision {
    LinkAction action = LinkAction::Refuse;
    std::wstring target; // the address to open, or the document's path
};

// Only what the user asked for is followed. A web or mail address opens outside (made safe for a
// command line: characters outside printable ASCII, quotes, spaces and the like are percent-encoded;
// overlong addresses are refused; a mail address keeps only its subject, body, cc and bcc fields). An address
// under the document base naming an existing .md, .markdown or .txt file beside the current document opens in
// the viewer. Everything else is refused: the page's own origin otherwise, file:, script and data: URLs, and
// every other scheme (a custom protocol handler is a known way in); local files are never launched.
LinkDecision DecideLink(std::wstring_view uri, bool userInitiated, const std::wstring& documentPath);

// The longest address handed to another program.
inline constexpr size_t kMaxExternalAddress = 2048;
