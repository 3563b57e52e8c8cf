#include "loader/client_dll.h"

#include "loader/hresult_text.h"
#include "loader/platform_seam.h"
#include "platform/last_error.h"
#include "platform/module_export.h"
#include "platform/unique_handle.h"

namespace {

// The client library's entry. Its first argument is always true; the runtime gives it a meaning of its own.
using CreateEnvironmentExport = HRESULT(STDMETHODCALLTYPE*)(
    bool, int, PCWSTR, IUnknown*, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*);

constexpr char kCreateEnvironmentExportName[] = "CreateWebViewEnvironmentWithOptionsInternal";
constexpr char kCanUnloadExportName[] = "DllCanUnloadNow";
constexpr HRESULT kModuleNotFound = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND); // 0x8007007E

void ReportLoadFailure(HRESULT hr, PCWSTR dllPath) noexcept {
    WriteDebuggerTextW(L"WebView2: CoreWebView2Environment failed when trying to LoadLibrary: hr=0x");
    WriteDebuggerTextW(FormatHResultHex(hr).data());
    WriteDebuggerTextW(L" path=");
    WriteDebuggerTextW(dllPath);
    if (hr == kModuleNotFound) {
        WriteDebuggerTextW(
            L"\nWebView2: This error (0x8007007E) typically indicates missing binaries or an "
            L"architecture mismatch. Please ensure the correct binaries (tallowmere.exe, "
            L"EmbeddedBrowserWebView.dll, etc.) for the target architecture (x86/x64/ARM64) are "
            L"deployed");
    }
    WriteDebuggerTextW(L"\n");
}

void ReportMissingExport(HRESULT hr) noexcept {
    WriteDebuggerTextW(L"WebView2: CoreWebView2Environment failed when trying to call into "
                       L"EmbeddedBrowserWebView.dll. hr=0x");
    WriteDebuggerTextW(FormatHResultHex(hr).data());
    WriteDebuggerTextW(L"\n");
}

} // namespace

HRESULT CallClientDll(PCWSTR dllPath, RuntimeKind runtimeKind, PCWSTR userDataFolder,
                      IUnknown* environmentOptions,
                      ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) noexcept {
    UniqueModule module(::LoadLibraryW(dllPath));
    if (!module) {
        const HRESULT hr = LastErrorAsFailure();
        ReportLoadFailure(hr, dllPath);
        return hr;
    }

    HRESULT hr = S_OK;
    if (const CreateEnvironmentExport createEnvironment =
            FindExport<CreateEnvironmentExport>(module.get(), kCreateEnvironmentExportName)) {
        hr = createEnvironment(true, static_cast<int>(runtimeKind), userDataFolder, environmentOptions,
                               handler);
    } else {
        hr = LastErrorAsFailure();
        ReportMissingExport(hr);
    }

    if (::GetProcAddress(module.get(), kCanUnloadExportName) == nullptr) {
        // Such a library cannot tell when its objects are gone, so its code must stay mapped for the life
        // of the process: the loader's reference is deliberately never released.
        static_cast<void>(module.release());
    }
    return hr;
}
