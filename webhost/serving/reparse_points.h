// Symbolic links and junctions beside a document are looked at before they are followed. Opening a
// path follows every link on it: a repository's "pic.png" that links to "\\server\share\x.png" would
// make the system connect to that server (offering the user's credentials) and hold a worker for the
// network's time-out before the check of the opened file's final path could refuse it. So each folder
// and file on the way below the document's root is first opened as itself (the reparse point, not what
// it names) and, when it is a link, its target is read from its own data and judged: only a target on
// the root's own volume (the same drive, or the same share when the document lies on one) is walked
// on. A link to another volume, a share, a volume mounted by its name, or that cannot be read, is never
// followed. Reparse points that are no names for elsewhere (files kept in the cloud, deduplicated or
// compressed) are files like any other.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// What a symbolic link or junction names, read from its reparse data: the path as the link holds it
// (relative to the link's folder when `relative`). Nothing for other reparse points, for a junction
// that mounts a volume by its name, or for data that is not well formed.
struct LinkTarget {
    std::wstring path;
    bool relative = false;
};
std::optional<LinkTarget> ParseLinkData(const void* data, size_t size);

// The full path that the link at `linkPath` (a full path) leads to: an absolute target as it is ("\??\"
// taken off, "UNC\" made "\\"), a relative one from the link's folder, its dot segments applied. Empty
// when it cannot be made.
std::wstring LinkDestination(std::wstring_view linkPath, const LinkTarget& target);

// Whether two full paths lie on the same volume as far as their spelling tells: the same drive, or the
// same server and share (the extended-length prefixes aside, without regard to case).
bool OnSameVolume(std::wstring_view first, std::wstring_view second) noexcept;

// Looks at every folder and file of `path` below `root` (both full paths, `path` inside `root`) as
// described at the top of this file, following links from their targets until none is left (at most
// 32 of them); `volume` is a full path on the volume they must stay on (the root's final path). The path
// with every link replaced by what it leads to, or nothing when a link leads elsewhere or a part is
// missing. Looks at the disk: never on the user-interface thread.
std::optional<std::wstring> PathWithLinksResolved(const std::wstring& root, const std::wstring& path,
                                                  std::wstring_view volume);
