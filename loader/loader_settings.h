// The loader's per-creation settings record.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

// LoaderSettings::channelSearchKind for "least stable channel first"; any other value searches the most
// stable first.
inline constexpr int32_t kLeastStableFirst = 1;

// One record per environment creation. It holds the texts and the options object by plain pointer and
// owns nothing: whoever keeps a copy beyond the call that built it must own copies of the texts and a
// reference on the options object.
struct LoaderSettings {
    PCWSTR browserExecutableFolder = nullptr; // null or empty: search the installed runtimes
    PCWSTR userDataFolder = nullptr;          // passed on to the runtime, not used for discovery
    IUnknown* environmentOptions = nullptr;   // the host's options object, passed on unchanged
    int32_t channelSearchKind = 0;            // kLeastStableFirst, or anything else: most stable first
    bool useEdgeView = false;
    bool releaseChannelsSet = false;
    bool channelSearchKindSet = false;
    uint32_t releaseChannels = 0; // bit n selects channel n (0 Stable .. 4 Internal)
};
