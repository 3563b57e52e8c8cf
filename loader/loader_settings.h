// The loader's per-creation settings and the operations that settle and use them.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <string>

// One record per environment creation. It holds the texts and the options object by plain pointer and
// owns nothing: whoever keeps a copy beyond the call that built it must own copies of the texts and a
// reference on the options object.
struct LoaderSettings {
    PCWSTR browserExecutableFolder = nullptr; // null or empty: search the installed runtimes
    PCWSTR userDataFolder = nullptr;          // passed on to the runtime, not used for discovery
    IUnknown* environmentOptions = nullptr;   // the host's options object, passed on unchanged
    int32_t channelSearchKind = 0; // 1: least stable channel first; anything else: most stable first
    bool useEdgeView = false;
    bool releaseChannelsSet = false;
    bool channelSearchKindSet = false;
    uint32_t releaseChannels = 0; // bit n selects channel n (0 Stable .. 4 Internal)
};

// Owned storage for the two texts that an override may supply; must outlive every use of the settings
// record that points into it.
struct LoaderOverrideStorage {
    std::wstring browserExecutableFolder;
    std::wstring userDataFolder;
};

// --- discovery -----------------------------------------------------------------------------------
HRESULT GetModulePath(HMODULE module, std::wstring& path) noexcept;
HRESULT FindClientDllInFolder(PCWSTR folder, std::wstring& dllPath) noexcept;
HRESULT FindInstalledClientDll(const LoaderSettings& settings, std::wstring& dllPath) noexcept;

// --- overrides (called by the entry in this order) -------------------------------------------------
bool ReadEdgeViewOption(IUnknown* environmentOptions) noexcept;
void ReadLoaderOverrides(LoaderSettings& settings, LoaderOverrideStorage& storage) noexcept;
void ReadOptionsChannelSettings(IUnknown* environmentOptions, LoaderSettings& settings) noexcept;
