// Paths of any length. Without the long-path opt-in in its manifest, the program's file functions refuse
// a path of MAX_PATH (260) units or more unless it carries the extended-length prefix; with the prefix
// the platform takes the path literally, so it must first be made full and normal.
#pragma once

#include <string>

// `path` resolved against the current directory the way the platform resolves it (separators made
// backslashes, "." and ".." applied, trailing dots and spaces dropped); empty when it cannot be.
std::wstring FullPath(const std::wstring& path);

// The full path with the extended-length prefix: C:\a\b.md gives \\?\C:\a\b.md, \\server\share\b.md
// gives \\?\UNC\server\share\b.md. A path that already names the extended-length or device namespace,
// or that resolves to a device (CON, NUL), is returned as it is; so is one that cannot be resolved, for
// the file function to refuse.
std::wstring ExtendedLengthPath(const std::wstring& path);

// The path by which the file system knows the file or folder at `path` once every symbolic link and
// junction on the way is followed, in extended-length form; empty when nothing is there.
std::wstring FinalPath(const std::wstring& path);
