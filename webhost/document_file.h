// Opening the file that an address under the document base names, for reading: the one way both the
// page's requests and its downloads reach a file beside the current document, so that both obey the
// same rules.
#pragma once

#include "platform/unique_handle.h"

#include <cstdint>
#include <string>
#include <string_view>

struct DocumentFile {
    UniqueFile handle; // invalid: there is no such file to serve
    std::wstring path;
    uint64_t size = 0;
};

// The file `uri` names beside `documentPath` (DocumentFileForUrl), opened for reading while others may
// read, write, rename or delete it; only a regular file on a disk. Waits on the disk (or share) it
// lies on. Throws only when out of memory.
DocumentFile OpenDocumentFile(std::wstring_view uri, std::wstring_view documentPath);
