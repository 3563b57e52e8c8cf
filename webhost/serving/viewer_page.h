// The text the web view is navigated to: the viewer page from the resources, with the support image
// written into it as a data: URI.
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>
#include <string>

// The viewer page (RCDATA 101 of `module`; null: the running executable) decoded leniently from
// UTF-8. Empty when the resource is missing or empty.
std::wstring LoadViewerPageText(HMODULE module = nullptr);

// "data:image/jpeg;base64," followed by the Base64 text of `bytes`. Never empty, even for no bytes:
// an empty URI means "no image" to the injection.
std::wstring ImageDataUri(std::span<const unsigned char> bytes);

// The support image (RCDATA 102 of `module`; null: the running executable) as a data: URI, or the
// empty string when the resource is missing.
std::wstring LoadImageDataUri(HMODULE module = nullptr);

// Writes `dataUri` into the first empty data-src="" attribute of `pageText`. Does nothing when the
// URI is empty or no such attribute exists; later empty attributes stay empty.
void InjectImageDataUri(std::wstring& pageText, const std::wstring& dataUri);
