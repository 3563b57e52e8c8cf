// Export of the shown document, as the page hands it over (see webhost/export_messages.h): from the
// page's menu the user chooses where with the system's save dialog; from the command line
// (`--export OUT DOCUMENT`) it goes to OUT without a question and the program ends with the outcome.
#pragma once

#include "webhost/export/export_messages.h"

#include <windows.h>

#include <string>

// Exit codes of an export from the command line; each failure has its own, with one line on the console.
enum ExportExitCode : int {
    kExportWritten = 0,
    kExportFailed = 1,          // bad arguments, or the export itself failed
    kExportMissingDocument = 2, // DOCUMENT is not there
    kExportUnwritable = 3,      // nothing can be written where OUT is
    kExportNoRuntime = 4,       // the browser environment could not be created
    kExportTimedOut = 5,        // a stage did not finish within its limit (below)
};

// The stages of an export from the command line, each with its own time limit: rendering ends when the
// page hands the finished document over; writing OUT then takes time of its own (printing a PDF lays
// out and paints every page again, minutes for a document of many megabytes), and its limit only keeps
// a runtime that never answers from holding the program forever.
enum class ExportStage { Rendering, Writing };
inline constexpr UINT kExportRenderLimitMs = 120 * 1000;
inline constexpr UINT kExportWriteLimitMs = 30 * 60 * 1000;

// (Re)starts the limit of `stage`; when it passes, the export ends with kExportTimedOut and its line.
void StartExportClock(HWND mainWindow, ExportStage stage) noexcept;

// An export from the command line, while one runs.
struct CommandLineExport {
    bool active = false;
    std::wstring out; // full path
    ExportFormat format = ExportFormat::Html;
    std::wstring dialect; // "classic", "github" or empty (the page's stored choice)
    int exitCode = kExportFailed;
};
extern CommandLineExport g_commandLineExport;

// The page's answers (PageMessageActions::exportHtml, exportPdf and paperSet). A PDF is printed once the
// page has the paper of the system's locale (see ComposePaperMessage).
void OnPageExportHtml(HWND mainWindow, const std::wstring& name, const std::wstring& html);
void OnPageExportPdf(HWND mainWindow, const std::wstring& name);
void OnPagePaperSet(HWND mainWindow);

// The command line's export: asks the page for the document just delivered.
void RequestCommandLineExport() noexcept;

// Ends the command line's export with `code`, after one line on the console when `line` is not empty:
// the main window is closed, and the program exits with the code.
void FinishCommandLineExport(HWND mainWindow, int code, const std::wstring& line) noexcept;

// One line on the console the program was started from (or on its standard error when it has one).
void WriteConsoleLine(const std::wstring& line) noexcept;
