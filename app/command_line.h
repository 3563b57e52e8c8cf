// The document named on the command line.
#pragma once

#include <string>

// `tail` is what follows the program name. Its first argument (split by the platform's rules, so a
// quoted path may hold spaces) becomes the pending document when it names an existing file or folder;
// otherwise, and for an empty tail, the result is empty. Further arguments are ignored.
std::wstring PendingDocumentFromCommandLine(const wchar_t* tail);
