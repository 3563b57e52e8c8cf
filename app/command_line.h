// The document named on the command line.
#pragma once

#include <string>

// `tail` is what follows the program name. Its first argument (split by the platform's rules, so a
// quoted path may hold spaces) becomes the pending document when it names an existing file or folder;
// otherwise, and for an empty tail, the result is empty. Further arguments are ignored.
std::wstring PendingDocumentFromCommandLine(const wchar_t* tail);

// An export asked for on the command line: `--export OUT DOCUMENT [--dialect classic|github]`.
struct ExportArguments {
    std::wstring out;
    std::wstring document;
    std::wstring dialect; // empty: the page's stored choice
};
enum class ExportCommand {
    None,      // the first argument is no "--export" (or names an existing file, which is opened as ever)
    Valid,     // `arguments` holds the export
    Malformed, // "--export" with missing or unknown arguments
};
ExportCommand ExportFromCommandLine(const wchar_t* tail, ExportArguments& arguments);
