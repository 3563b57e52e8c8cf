#include "loader/runtime_discovery.h"

#include "loader/ascii.h"
#include "loader/module_path.h"
#include "loader/packaged_runtime.h"
#include "loader/platform_seam.h"
#include "loader/registered_runtime.h"
#include "loader/runtime_candidate.h"
#include "loader/runtime_channels.h"

#include <new>

namespace {

// "X:\..." or "\\...": anything else (forward slashes, "X:" without a backslash, a bare name) is
// taken relative to the executable's folder.
bool IsAbsoluteFolder(std::wstring_view folder) noexcept {
    if (folder.size() < 3) {
        return false;
    }
    const bool drive = IsAsciiLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
    const bool unc = folder[0] == L'\\' && folder[1] == L'\\';
    return drive || unc;
}

bool FindChannelRuntime(const LoaderSettings& settings, size_t channel, std::wstring& dllPath) noexcept {
    const bool edge = settings.useEdgeView && channel == 0;
    const PCWSTR subKey = edge ? kEdgeClientKey : kRuntimeChannels[channel].clientStateKey;
    return ReadRegisteredRuntime(subKey, edge, HKEY_LOCAL_MACHINE, dllPath) ||
           ReadRegisteredRuntime(subKey, edge, HKEY_CURRENT_USER, dllPath) ||
           FindPackagedRuntime(channel, dllPath);
}

} // namespace

HRESULT FindClientDllInFolder(PCWSTR folder, std::wstring& dllPath) noexcept {
    if (folder == nullptr) {
        return E_INVALIDARG;
    }
    try {
        dllPath = folder;
        if (!IsAbsoluteFolder(dllPath)) {
            std::wstring exePath;
            const HRESULT hr = GetModulePath(nullptr, exePath);
            if (FAILED(hr)) {
                WriteDebuggerTextA("WebView2: Failed to find the app exe path.\n");
                return hr;
            }
            const size_t lastSeparator = exePath.rfind(L'\\');
            if (lastSeparator == std::wstring::npos) {
                return E_FAIL;
            }
            exePath.resize(lastSeparator + 1);
            dllPath.insert(0, exePath);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (CheckClientDll(dllPath)) {
        return S_OK;
    }
    WriteDebuggerTextA("WebView2: Failed to find the WebView2 client dll at: ");
    WriteDebuggerTextW(dllPath.c_str());
    WriteDebuggerTextA("\n");
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

HRESULT FindInstalledClientDll(const LoaderSettings& settings, std::wstring& dllPath) noexcept {
    std::array<size_t, kRuntimeChannelCount> channels = {};
    const size_t count = GetChannelSearchOrder(settings, channels);
    for (size_t i = 0; i < count; ++i) {
        if (FindChannelRuntime(settings, channels[i], dllPath)) {
            return S_OK;
        }
    }
    WriteDebuggerTextA("WebView2: Failed to find an installed WebView2 runtime or non-stable Microsoft Edge "
                       "installation.\n");
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}
