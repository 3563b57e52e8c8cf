// Process entry: COM, the command-line document (or export), the main window, the browser control and
// the one message loop on which everything else runs.
#include "app/command_line.h"
#include "app/export_document.h"
#include "app/host_state.h"
#include "app/main_window.h"
#include "app/page_events.h"
#include "platform/long_path.h"
#include "webhost/browser/environment_failure.h"
#include "webhost/export/export_file.h"
#include "webhost/browser/web_view.h"

#include <windows.h>
#include <objbase.h>

namespace {

// The console lines of an export from the command line ("导出失败：" and the reason).
constexpr wchar_t kUsageLine[] =
    L"\u7528\u6CD5\uFF1Atallowmere.exe --export OUT.html|OUT.pdf DOCUMENT [--dialect classic|github]";
constexpr wchar_t kMissingDocumentLine[] = L"\u5BFC\u51FA\u5931\u8D25\uFF1A\u627E\u4E0D\u5230\u6587\u6863 ";
constexpr wchar_t kUnwritableLine[] = L"\u5BFC\u51FA\u5931\u8D25\uFF1A\u65E0\u6CD5\u5199\u5165 ";
constexpr wchar_t kNoRuntimeLine[] =
    L"\u5BFC\u51FA\u5931\u8D25\uFF1AWebView2 \u73AF\u5883\u521B\u5EFA\u5931\u8D25\u3002";

int RunMessageLoop() noexcept {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

// Without a runtime an export says so on the console instead of in a message box.
int WINAPI NoRuntimeForExport(HWND owner, LPCWSTR, LPCWSTR, UINT) {
    FinishCommandLineExport(owner, kExportNoRuntime, kNoRuntimeLine);
    return IDOK;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(ExtendedLengthPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Checks an export's arguments and sets it up; the exit code when it cannot start, else -1.
int PrepareCommandLineExport(const ExportArguments& arguments) {
    if (!ExportFormatOf(arguments.out, g_commandLineExport.format)) {
        WriteConsoleLine(kUsageLine);
        return kExportFailed;
    }
    if (!IsFile(arguments.document)) {
        WriteConsoleLine(kMissingDocumentLine + arguments.document);
        return kExportMissingDocument;
    }
    g_commandLineExport.out = FullPath(arguments.out);
    if (FAILED(ProbeWritableBeside(g_commandLineExport.out))) {
        WriteConsoleLine(kUnwritableLine + arguments.out);
        return kExportUnwritable;
    }
    g_commandLineExport.dialect = arguments.dialect;
    g_commandLineExport.active = true;
    g_environmentFailureMessageBox = NoRuntimeForExport;
    g_pendingDocumentPath = arguments.document;
    return -1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLineTail, int /*showCommand*/) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool exporting = false;
    try {
        ExportArguments arguments;
        switch (ExportFromCommandLine(commandLineTail, arguments)) {
        case ExportCommand::None:
            g_pendingDocumentPath = PendingDocumentFromCommandLine(commandLineTail);
            break;
        case ExportCommand::Malformed:
            WriteConsoleLine(kUsageLine);
            ::CoUninitialize();
            return kExportFailed;
        case ExportCommand::Valid:
            if (const int refused = PrepareCommandLineExport(arguments); refused >= 0) {
                ::CoUninitialize();
                return refused;
            }
            exporting = true;
            break;
        }
    } catch (...) {
        // Without memory for the path there is simply no document to open (nor an export to make).
        if (g_commandLineExport.active) {
            ::CoUninitialize();
            return kExportFailed;
        }
    }
    RegisterMainWindowClass(instance);
    // An export shows no window: the browser control renders in it all the same.
    g_mainWindow = CreateMainWindow(instance, !exporting);
    if (g_mainWindow == nullptr) {
        // Without a window nothing could ever post the quit message: the process would linger
        // invisibly. Leave with a failure code instead.
        ::CoUninitialize();
        return 1;
    }
    if (exporting) {
        StartExportClock(g_mainWindow, ExportStage::Rendering);
    }
    InitWebView(g_mainWindow, kPageMessageActions);
    const int exitCode = RunMessageLoop();
    ::CoUninitialize();
    return exporting ? g_commandLineExport.exitCode : exitCode;
}
