// Writing an exported file so that a failed export never leaves half a file: the bytes go to a
// temporary file beside the destination ("<destination>.<process id>.partial"), which is renamed over
// the destination only once it is whole. A failure removes the temporary file and leaves what was at
// the destination as it was.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The temporary name beside `destination` that this process writes to.
std::wstring TemporaryNameBeside(const std::wstring& destination);

// Writes `bytes` to `destination` (a full path) as described above. Blocks on the disk: call it on a
// worker thread, or where nothing else waits (the command line's export).
HRESULT WriteWholeFile(const std::wstring& destination, std::string_view bytes) noexcept;

// Renames the whole temporary file over `destination`; on failure removes the temporary file.
HRESULT ReplaceWithWhole(const std::wstring& temporary, const std::wstring& destination) noexcept;

// Whether a file can be made beside `destination`: a temporary one is created there and removed again.
HRESULT ProbeWritableBeside(const std::wstring& destination) noexcept;
