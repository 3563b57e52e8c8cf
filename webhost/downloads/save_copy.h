// Copying a file from beside the document to where the user chose, as a browser saves a download: the
// copy never damages what is at the destination, and it keeps the source's Mark-of-the-Web.
//
// - The bytes go to a temporary file in the destination's folder ("<destination>.<n>.partial"), which
//   is marked for deletion while it is written: if the copy fails, is cancelled, or the program ends
//   first, the system removes it when its handle closes. Only a whole copy is renamed over the
//   destination, so a file the user chose to replace stays as it was until then.
// - The source's "Zone.Identifier" stream (where the Internet or another zone marked it, such as a
//   file from a downloaded zip) is written onto the copy before it is renamed, so the system's checks
//   of downloaded programs still see it. Only volumes that keep named streams have one: a source on
//   another kind of volume has no mark, and a destination there cannot take one (Wine keeps no
//   streams at all).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

// Copies the whole of `source` (open for reading) to `destination`, a full path. Replaces an existing
// destination only when `mayReplace`. Stops when `cancelled` becomes true, looked at between chunks.
// S_OK once the destination holds the whole copy; otherwise the destination is as it was and no
// temporary file is left: HRESULT_FROM_WIN32(ERROR_CANCELLED) when cancelled, else the failure.
HRESULT SaveCopy(HANDLE source, const std::wstring& destination, bool mayReplace,
                 const std::atomic<bool>& cancelled) noexcept;

// The Mark-of-the-Web of an open file (the text of its "Zone.Identifier" stream, at most 64 KiB);
// empty when it has none or its volume keeps no named streams.
std::string ZoneIdentifierOf(HANDLE file);
