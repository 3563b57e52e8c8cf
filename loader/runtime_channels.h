// The release channels a runtime can come from, from most to least stable, and the order in which a
// creation searches them.
#pragma once

#include "loader/loader_settings.h"

#include <array>
#include <cstddef>

struct RuntimeChannel {
    PCWSTR clientStateKey;    // below HKLM/HKCU, read in the 32-bit view
    PCWSTR packageFamilyName; // the channel's app package
};

inline constexpr size_t kRuntimeChannelCount = 5;

// Index n is bit n of LoaderSettings::releaseChannels.
inline constexpr std::array<RuntimeChannel, kRuntimeChannelCount> kRuntimeChannels = {{
    {L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}",
     L"Microsoft.WebView2Runtime.Stable_8wekyb3d8bbwe"},
    {L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
     L"Microsoft.WebView2Runtime.Beta_8wekyb3d8bbwe"},
    {L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}",
     L"Microsoft.WebView2Runtime.Dev_8wekyb3d8bbwe"},
    {L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{65C35B14-6C1D-4122-AC46-7148CC9D6497}",
     L"Microsoft.WebView2Runtime.Canary_8wekyb3d8bbwe"},
    {L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{BE59E8FD-089A-411B-A3B0-051D9E417818}",
     L"Microsoft.WebView2Runtime.Internal_8wekyb3d8bbwe"},
}};

// In Edge-view mode the stable channel is the browser itself, registered under this key with the
// values "location" and "pv".
inline constexpr PCWSTR kEdgeClientKey =
    L"Software\\Microsoft\\EdgeUpdate\\Clients\\{56EB18F8-B008-4CBD-B6D2-8C97FE7E9062}";

// Channel indices in search order; returns how many (0 to 5).
size_t GetChannelSearchOrder(const LoaderSettings& settings,
                             std::array<size_t, kRuntimeChannelCount>& channels) noexcept;
