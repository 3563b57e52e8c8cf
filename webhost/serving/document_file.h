// From an address under the document base to an open file under the shown document's root: the one
// decision of what a document may reach, for every use of a file beside it.
#pragma once

#include "platform/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

// The document the page shows as the host delivered it: its full path (empty: none) and the number of
// that delivery, which every address beside it carries.
struct ServedDocument {
    std::wstring path;
    uint32_t generation = 0;
};

struct DocumentFile {
    UniqueFile file;   // open for reading; others may read, write, rename or delete it meanwhile
    std::wstring path; // as the address names it, under the document's root
    uint64_t size = 0;
};

// S_OK with `opened` filled when `uri` carries the served document's number and names a plain file
// (not a folder or device) whose path lies inside the document's root (document_root.h), whose links
// and junctions below the root all stay on the root's volume (looked at before they are followed, see
// reparse_points.h), and whose final path, once they are resolved, lies inside the root's final
// path. S_FALSE for anything else ("not found"); a failure only when out of memory. Looks at the
// disk: never call it on the user-interface thread.
HRESULT OpenDocumentFile(std::wstring_view uri, const ServedDocument& document,
                         DocumentFile& opened) noexcept;

// The final path of an open file or folder (links and junctions resolved, "\\?\" form); empty when the
// platform cannot tell.
std::wstring FinalPathOf(HANDLE handle);
