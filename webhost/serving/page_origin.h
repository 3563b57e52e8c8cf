// Where the viewer page lives: an https origin on a reserved name that can never resolve, answered
// entirely by the program itself. The origin is chosen once for good: the browser keeps the page's
// local storage (its remembered theme) per origin, so changing it would forget the theme.
#pragma once

#include <string_view>

// Lower case: the runtime compares filters with the canonical (lower-cased) host.
inline constexpr std::wstring_view kPageOrigin = L"https://tallowmere.invalid";
// The address the web view is navigated to; the page is answered here and nowhere else.
inline constexpr wchar_t kPageUrl[] = L"https://tallowmere.invalid/";
// The libraries the page loads when it first needs them, each a separate resource so that the page's
// start-up never parses it: the diagram library (a script of the page) and the texts of the page's
// workers (the highlighter, the formula typesetter, the GitHub dialect's converter, the character set
// detector).
inline constexpr std::wstring_view kDiagramLibraryUrl = L"https://tallowmere.invalid/vendor/mermaid.min.js";
inline constexpr std::wstring_view kHighlighterUrl = L"https://tallowmere.invalid/vendor/highlighter.js";
inline constexpr std::wstring_view kFormulasUrl = L"https://tallowmere.invalid/vendor/formulas.js";
inline constexpr std::wstring_view kGithubConverterUrl =
    L"https://tallowmere.invalid/vendor/github-converter.js";
inline constexpr std::wstring_view kCharsetDetectorUrl =
    L"https://tallowmere.invalid/vendor/charset-detector.js";
// The one request filter: every path under the origin, so that none goes to the network.
inline constexpr wchar_t kPageRequestFilter[] = L"https://tallowmere.invalid/*";

// The document base: files beside the shown document. The page writes a document's relative
// reference as
//     https://tallowmere.invalid/doc/<generation>/<levels up>/<path>
// where <generation> is the host's number of the delivery (the openFile message's "generation"; only
// the shown one's is answered, and a new document never meets the previous one's cached files),
// <levels up> how many folders the reference climbs above the document's folder with "..", and
// <path> the rest of the reference, its segments percent-encoded and free of dot segments. Climbing is
// carried as a number because the URL parser would fold ".." segments into the base itself.
inline constexpr std::wstring_view kDocumentBase = L"https://tallowmere.invalid/doc/";
// The folders under the shown document's root, one at a time, for the page's panel (folder_listing.h).
inline constexpr std::wstring_view kFilesBase = L"https://tallowmere.invalid/files/";
