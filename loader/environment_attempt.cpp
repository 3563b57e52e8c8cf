#include "loader/environment_attempt.h"

#include "loader/client_dll.h"
#include "loader/error_event.h"
#include "loader/runtime_discovery.h"

#include <string>

namespace {

bool HasText(PCWSTR text) noexcept {
    return text != nullptr && text[0] != L'\0';
}

} // namespace

HRESULT TryCreateEnvironment(const LoaderSettings& settings,
                             ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) noexcept {
    const bool fixedFolder = HasText(settings.browserExecutableFolder);
    RuntimeKind runtimeKind = fixedFolder ? RuntimeKind::FixedFolder : RuntimeKind::Installed;
    if (settings.useEdgeView) {
        runtimeKind = RuntimeKind::EdgeView;
    }

    std::wstring dllPath;
    HRESULT found = fixedFolder ? FindClientDllInFolder(settings.browserExecutableFolder, dllPath)
                                : FindInstalledClientDll(settings, dllPath);
    if (SUCCEEDED(found) && found != S_OK) {
        // Only S_OK names a client library; any other success code would pass off "nothing found" as
        // an accepted request whose handler is never invoked.
        found = E_UNEXPECTED;
    }

    const bool clientDllFound = found == S_OK;
    const HRESULT hr = clientDllFound ? CallClientDll(dllPath.c_str(), runtimeKind, settings.userDataFolder,
                                                      settings.environmentOptions, handler)
                                      : found;
    if (FAILED(hr) && !settings.useEdgeView) {
        ReportCreateEnvironmentError(hr, clientDllFound, runtimeKind == RuntimeKind::Installed);
    }
    return hr;
}
