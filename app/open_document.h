// Delivering a document to the page: read it, escape it, post it as one openFile message.
#pragma once

#include "webhost/messages/host_messages.h"

#include <cstdint>
#include <string>

// The last component of a path as the shell names it (PathFindFileNameW): C:\docs\readme.md and
// docs/readme.md both give readme.md; a drive root such as C:\ gives the whole path back.
std::wstring DocumentNameFromPath(const std::wstring& path);

// Reads the document anew and posts it to the web view under a new delivery number, which it returns;
// it becomes the current document, watched for changes, and goes to Windows' recent documents. The page puts
// the reader where `landing` says. Does nothing without a web view (and returns 0). A file that cannot be
// read is delivered with empty content under its name, or, with `sayWhenMissing`, as missing when it is not
// there at all (the page names it on its error screen; the watch shows it once it is back); a refused post is
// not retried.
uint32_t OpenDocument(const std::wstring& path, const DocumentLanding& landing = {},
                      bool sayWhenMissing = false);

// Posts `bytes`, decoded in the encoding they are found in (or in `encoding`, the reader's choice, when
// not empty), as the openFile message for `name` at the full path `fullPath` and delivery `generation`,
// with the extras of ComposeOpenFileMessage. Does nothing without a web view.
void PostDocument(const std::wstring& name, const std::wstring& fullPath, const std::string& bytes,
                  uint32_t generation, const DocumentLanding& landing = {}, bool missing = false,
                  std::wstring_view encoding = {});
