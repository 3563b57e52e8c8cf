#include "app/export_document.h"

#include "app/current_document.h"
#include "app/page_outbox.h"
#include "app/test_seams.h"
#include "platform/long_path.h"
#include "platform/unique_handle.h"
#include "platform/utf8.h"
#include "webhost/browser/browser_references.h"
#include "webhost/export/export_file.h"
#include "webhost/export/pdf_export.h"
#include "webhost/downloads/save_dialog.h"
#include "webhost/tasks/window_tasks.h"

#include <memory>
#include <utility>

CommandLineExport g_commandLineExport;

namespace {

// "导出失败：" (export failed) and the path, in a message box or on the console.
constexpr wchar_t kExportFailedText[] = L"\u5BFC\u51FA\u5931\u8D25\uFF1A";
constexpr wchar_t kHtmlFilter[] = L"HTML (*.html)";
constexpr wchar_t kPdfFilter[] = L"PDF (*.pdf)";
// "导出失败：120 秒内未能完成渲染" (the render did not finish within 120 s), and
// "导出失败：30 分钟内未能写完 " (not written within 30 minutes) before OUT.
constexpr wchar_t kRenderTimedOutLine[] =
    L"\u5BFC\u51FA\u5931\u8D25\uFF1A120 \u79D2\u5185\u672A\u80FD\u5B8C\u6210\u6E32\u67D3";
constexpr wchar_t kWriteTimedOutLine[] =
    L"\u5BFC\u51FA\u5931\u8D25\uFF1A30 \u5206\u949F\u5185\u672A\u80FD\u5199\u5B8C ";
constexpr UINT_PTR kExportTimer = 0x7E;

ExportStage g_exportStage = ExportStage::Rendering;

void CALLBACK ExportTimedOut(HWND window, UINT, UINT_PTR, DWORD) noexcept {
    ::KillTimer(window, kExportTimer);
    try {
        FinishCommandLineExport(window, kExportTimedOut,
                                g_exportStage == ExportStage::Rendering
                                    ? std::wstring(kRenderTimedOutLine)
                                    : kWriteTimedOutLine + g_commandLineExport.out);
    } catch (...) {
        FinishCommandLineExport(window, kExportTimedOut, {});
    }
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The save dialog, in the document's folder with the proposed name. S_FALSE when the user cancels.
HRESULT AskDestination(HWND owner, const std::wstring& name, ExportFormat format,
                       std::wstring& chosen) noexcept {
    try {
        const bool pdf = format == ExportFormat::Pdf;
        const SaveProposal proposal{.folder = FolderOf(CurrentDocumentPath()),
                                    .name = name,
                                    .extension = pdf ? L"pdf" : L"html",
                                    .typeLabel = pdf ? kPdfFilter : kHtmlFilter};
        return AskWhereToSave(owner, proposal, chosen);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// An HTML file on its way to the disk, on a worker thread.
struct HtmlWrite {
    HWND window = nullptr;
    std::wstring destination;
    std::string bytes;
    bool commandLine = false;
};

void CALLBACK WriteHtmlOnWorker(PTP_CALLBACK_INSTANCE, void* context) noexcept {
    const std::unique_ptr<HtmlWrite> write(static_cast<HtmlWrite*>(context));
    const HRESULT written = WriteWholeFile(write->destination, write->bytes);
    if (write->commandLine) {
        const HWND window = write->window;
        try {
            const std::wstring line =
                SUCCEEDED(written) ? std::wstring() : kExportFailedText + write->destination;
            const int code = SUCCEEDED(written) ? kExportWritten : kExportUnwritable;
            if (!PostWindowTask(window,
                                [window, code, line] { FinishCommandLineExport(window, code, line); })) {
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            }
        } catch (...) {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        }
    } else if (FAILED(written)) {
        ReportSaveFailure(write->window, kExportFailedText, write->destination);
    }
}

// Hands the write to a worker; false when none takes it.
bool SubmitHtmlWrite(std::unique_ptr<HtmlWrite>& write) noexcept {
    if (!::TrySubmitThreadpoolCallback(WriteHtmlOnWorker, write.get(), nullptr)) {
        return false;
    }
    write.release();
    return true;
}

void FinishPdf(HWND mainWindow, const std::wstring& destination, HRESULT result) noexcept {
    if (g_commandLineExport.active) {
        try {
            FinishCommandLineExport(mainWindow, SUCCEEDED(result) ? kExportWritten : kExportFailed,
                                    SUCCEEDED(result) ? std::wstring() : kExportFailedText + destination);
        } catch (...) {
            FinishCommandLineExport(mainWindow, kExportFailed, {});
        }
    } else if (FAILED(result)) {
        ReportSaveFailure(mainWindow, kExportFailedText, destination);
    }
}

// The PDF waiting for the page to set its paper size; empty when none.
std::wstring g_pdfWaitingForPaper;

// Asks the page to set the paper size first; the PDF is printed when it has (OnPagePaperSet).
void PrintPdfOnPaper(HWND mainWindow, const std::wstring& destination) {
    HRESULT posted = E_POINTER;
    if (g_webView) {
        g_pdfWaitingForPaper = destination;
        posted = g_webView->PostWebMessageAsJson(ComposePaperMessage().c_str());
    }
    if (FAILED(posted)) {
        g_pdfWaitingForPaper.clear();
        FinishPdf(mainWindow, destination, posted);
    }
}

void PrintPdf(HWND mainWindow, const std::wstring& destination) {
    const HRESULT started =
        PrintPageToPdf(g_webView.Get(), destination, [mainWindow, destination](HRESULT result) {
            FinishPdf(mainWindow, destination, result);
        });
    if (FAILED(started)) {
        FinishPdf(mainWindow, destination, started);
    }
}

} // namespace

void StartExportClock(HWND mainWindow, ExportStage stage) noexcept {
    g_exportStage = stage;
    // The end-to-end tests see a stage run out without waiting minutes.
    const DWORD limit =
        TestSeamMilliseconds(L"TALLOWMERE_TEST_EXPORT_LIMIT_MS",
                             stage == ExportStage::Rendering ? kExportRenderLimitMs : kExportWriteLimitMs);
    ::SetTimer(mainWindow, kExportTimer, limit, ExportTimedOut);
}

void WriteConsoleLine(const std::wstring& line) noexcept {
    try {
        const std::string bytes = EncodeUtf8(line + L"\r\n");
        HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
        DWORD written = 0;
        if (error != nullptr && error != INVALID_HANDLE_VALUE &&
            ::WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            return;
        }
        if (!::AttachConsole(ATTACH_PARENT_PROCESS)) {
            return;
        }
        {
            const UniqueFile console(::CreateFileW(L"CONOUT$", GENERIC_WRITE,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                   0, nullptr));
            if (console) {
                const std::wstring text = line + L"\r\n";
                ::WriteConsoleW(console.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                                nullptr);
            }
        }
        ::FreeConsole();
    } catch (...) {
    }
}

void FinishCommandLineExport(HWND mainWindow, int code, const std::wstring& line) noexcept {
    if (!g_commandLineExport.active) {
        return;
    }
    g_commandLineExport.active = false;
    g_commandLineExport.exitCode = code;
    if (!line.empty()) {
        WriteConsoleLine(line);
    }
    // Closed from the window's own queue: this may run inside a callback of the browser control.
    ::PostMessageW(mainWindow, WM_CLOSE, 0, 0);
}

void RequestCommandLineExport() noexcept {
    if (!g_commandLineExport.active || !g_webView) {
        return;
    }
    try {
        const std::wstring message =
            ComposeExportRequest(g_commandLineExport.format, g_commandLineExport.dialect);
        PostToPage(message);
    } catch (...) {
    }
}

void OnPageExportHtml(HWND mainWindow, const std::wstring& name, const std::wstring& html) {
    if (g_commandLineExport.active) {
        if (g_commandLineExport.format != ExportFormat::Html) {
            return;
        }
        StartExportClock(mainWindow, ExportStage::Writing);
        auto write = std::make_unique<HtmlWrite>();
        write->window = mainWindow;
        write->destination = g_commandLineExport.out;
        write->bytes = EncodeUtf8(html);
        write->commandLine = true;
        if (!SubmitHtmlWrite(write)) {
            FinishCommandLineExport(mainWindow, kExportFailed, kExportFailedText + g_commandLineExport.out);
        }
        return;
    }
    // The dialog waits for the user: never inside the browser control's callback.
    auto write = std::make_shared<HtmlWrite>();
    write->window = mainWindow;
    write->bytes = EncodeUtf8(html);
    PostWindowTask(mainWindow, [write, name] {
        if (AskDestination(write->window, name, ExportFormat::Html, write->destination) != S_OK) {
            return;
        }
        auto owned = std::make_unique<HtmlWrite>(std::move(*write));
        if (!SubmitHtmlWrite(owned)) {
            ReportSaveFailure(owned->window, kExportFailedText, owned->destination);
        }
    });
}

void OnPageExportPdf(HWND mainWindow, const std::wstring& name) {
    if (g_commandLineExport.active) {
        if (g_commandLineExport.format == ExportFormat::Pdf) {
            StartExportClock(mainWindow, ExportStage::Writing);
            PrintPdfOnPaper(mainWindow, g_commandLineExport.out);
        }
        return;
    }
    PostWindowTask(mainWindow, [mainWindow, name] {
        std::wstring destination;
        if (AskDestination(mainWindow, name, ExportFormat::Pdf, destination) == S_OK) {
            PrintPdfOnPaper(mainWindow, destination);
        }
    });
}

void OnPagePaperSet(HWND mainWindow) {
    if (g_pdfWaitingForPaper.empty()) {
        return;
    }
    PrintPdf(mainWindow, std::exchange(g_pdfWaitingForPaper, std::wstring()));
}
