// Reading a document: the file's bytes, whole and unchanged, decoded leniently from UTF-8.
#pragma once

#include <string>

// Never fails: a file that cannot be opened, an empty file and a file of 2 GiB or more (which the
// platform decoder cannot take in one piece) all yield the empty string. Other programs may keep the
// file open for reading or writing meanwhile.
std::wstring ReadDocumentText(const std::wstring& path);
