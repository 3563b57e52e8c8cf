// Windows' recent documents (the taskbar's jump list, Explorer's "Recent"): each document the user opens
// in the program from the command line, a drop or a link is added there once. Live reloads and reload
// keys show a document again and add nothing; documents opened inside the page cannot be added (the host
// never learns their paths).
#pragma once

#include <string>

// Adds `path` (relative paths resolved against the current folder now) to the recent documents, off the
// window's thread: the shell parses the path and writes a shortcut, and either can wait on a slow disk
// or a share. Left out: a path that names no file by then (missing, or a folder), and one of MAX_PATH
// units or more, which a shortcut cannot point to.
void AddToRecentDocuments(const std::wstring& path) noexcept;
