// The documents around the shown one, for the page's panel: one folder under the document's root at a
// time, read when the reader opens it. The page asks at
//     https://tallowmere.invalid/files/<generation>/<folder>
// where <generation> is the shown delivery's number (as for the files beside the document) and <folder>
// the folder's path below the root, its segments percent-encoded and separated by "/", empty for the
// root itself.
#pragma once

#include "webhost/serving/document_file.h"

#include <windows.h>

#include <string>
#include <string_view>

// A folder stops being read after this many entries; the answer says so.
inline constexpr size_t kMaxListedEntries = 2000;

// Whether `uri` asks for a folder listing at all (whatever its form).
bool IsUnderFilesBase(std::wstring_view uri) noexcept;

// S_OK with `json` filled when `uri` carries the shown document's number and names a folder inside its
// root (document_root.h) that is still inside the root once every link and junction on the way is
// followed; S_FALSE ("not found") otherwise, or when a segment names a folder the listing leaves out.
// The answer is one JSON object:
//     {"folder":"docs/api","document":"docs/install.md","entries":[{"name":"x","folder":true},
//      {"name":"y.md"}],"more":false}
// "document" is the shown document's path below the root; "entries" are the folder's subfolders and its
// .md, .markdown, .mdown, .mkd and .txt files, in no particular order; "more" is true when the folder
// held more than kMaxListedEntries of them. Left out: hidden entries (a name starting with "." or the
// hidden attribute: ".git" among them), "node_modules", and symbolic links and junctions, which are
// never followed (a reparse point that only stands in for its own content, as a cloud file's does,
// stays). The folder is read through a handle open to it, so what is listed is what was checked.
// Looks at the disk: never call it on the user-interface thread. Fails only when out of memory.
// `maxEntries` is kMaxListedEntries but for tests.
HRESULT ListDocumentFolder(std::wstring_view uri, const ServedDocument& document, std::wstring& json,
                           size_t maxEntries = kMaxListedEntries) noexcept;
