// The messages of an export between the host and the page.
//
// Page to host, each posted once every block of the document is finished:
//   {"action":"exportHtml","name":"<file name>","html":"<the whole file>"}: write this HTML file;
//   {"action":"exportPdf","name":"<file name>"}: print the page as it stands to a PDF.
// `name` is the document's name with the new extension, the name the save dialog proposes.
// Host to page (an export from the command line): {"action":"exportDocument","format":"html"|"pdf"}
// with "dialect":"classic"|"github" when the command line chose one; the page answers with one of the
// two messages above.
#pragma once

#include <string>
#include <string_view>

enum class ExportFormat { Html, Pdf };

std::wstring ComposeExportRequest(ExportFormat format, std::wstring_view dialect);

// {"action":"paper","size":"A4"|"letter"}: the paper of the system's locale, for the page's @page rule,
// sent when a PDF is about to be printed; the page answers {"action":"paperSet"} once the rule is in
// place, and the host prints then.
std::wstring ComposePaperMessage();

// The format a file name's extension asks for (".html", ".htm", ".pdf", in any case); false otherwise.
bool ExportFormatOf(std::wstring_view path, ExportFormat& format) noexcept;
