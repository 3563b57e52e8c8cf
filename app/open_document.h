// Delivering a document to the page: read it, escape it, post it as one openFile message.
#pragma once

#include <cstdint>
#include <string>

// The last component of a path as the shell names it (PathFindFileNameW): C:\docs\readme.md and
// docs/readme.md both give readme.md; a drive root such as C:\ gives the whole path back.
std::wstring DocumentNameFromPath(const std::wstring& path);

// Reads the document anew and posts it to the web view under a new delivery number; it becomes the
// current document, watched for changes, and goes to Windows' recent documents. For documents the user
// opens (command line, drop, link): showing the current one again goes through the current document. Does nothing without a web view. A file that cannot be read is
// delivered with empty content under its name; a refused post is not retried.
void OpenDocument(const std::wstring& path);

// Posts `bytes`, decoded from UTF-8, as the openFile message for `name` and delivery `generation`. Does
// nothing without a web view.
void PostDocument(const std::wstring& name, const std::string& bytes, uint32_t generation);
