// Delivering a document to the page: read it, decode it, escape it, post it as one openFile message. The
// reading and the making of the message run on a worker (document_jobs.h); only the finished message
// comes back to the window's thread, and only while its delivery is still the current one.
#pragma once

#include "webhost/messages/host_messages.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The last component of a path as the shell names it (PathFindFileNameW): C:\docs\readme.md and
// docs/readme.md both give readme.md; a drive root such as C:\ gives the whole path back.
std::wstring DocumentNameFromPath(const std::wstring& path);

// Reads the document anew and posts it to the web view under a new delivery number, which it returns at
// once; the number becomes the current document's at once (a later open or a close replaces it, and the
// late result of this one is then dropped), the document is watched for changes once it is posted, and it
// goes to Windows' recent documents. The page puts the reader where `landing` says. Does nothing without a
// web view (and returns 0). A file that cannot be read is delivered with empty content under its name, or,
// with `sayWhenMissing`, as missing when it is not there at all (the page names it on its error screen; the
// watch shows it once it is back); a refused post is not retried.
uint32_t OpenDocument(const std::wstring& path, const DocumentLanding& landing = {},
                      bool sayWhenMissing = false);

// A live reload: decodes `bytes` (in the encoding they are found in, or in `encoding`, the reader's choice,
// when not empty) on a worker and posts them as the openFile message for `name` at the full path `fullPath`
// and delivery `generation`. Dropped when, by then, another delivery has been asked for or `generation` is
// no longer the current document's. Does nothing without a web view.
void PostDocumentAgain(const std::wstring& name, const std::wstring& fullPath,
                       std::shared_ptr<const std::string> bytes, uint32_t generation,
                       const std::wstring& encoding) noexcept;
