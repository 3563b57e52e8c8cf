// The media type a file is answered with, from its extension alone (files are never sniffed).
#pragma once

#include <string_view>

// "application/octet-stream" for an unknown or missing extension; text types carry charset=utf-8,
// the encoding documents are read in.
std::wstring_view ContentTypeForPath(std::wstring_view path) noexcept;
