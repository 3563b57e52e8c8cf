// How far a document reaches: the folder whose files may be served beside it. A document can make
// its reader's browser ask for any address under it (pictures, players, lazy loading), and a remote
// picture beside them tells a server which of those exist; so a document reaches its repository
// (where "../images/x.png" is common) and nothing beyond.
#pragma once

#include <string>
#include <string_view>

// The nearest folder, from the document's own upwards, that holds a ".git" entry (a folder, or the
// file of a work tree or submodule); without one, the document's own folder. As the document's path
// spells it (no links resolved), without a trailing backslash unless it is a drive or share root;
// empty when the path has no folder. Looks at the disk: never call it on the user-interface thread.
std::wstring DocumentRootFolder(std::wstring_view documentPath);

// Whether `path` names something strictly inside `folder` (compared without regard to case, as the
// file system does); both full paths in the same form, free of dot segments.
bool IsInsideFolder(std::wstring_view path, std::wstring_view folder) noexcept;
