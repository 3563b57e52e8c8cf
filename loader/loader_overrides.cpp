#include "loader/loader_overrides.h"

#include "loader/environment_variable.h"
#include "loader/policy_values.h"

#include <atomic>

namespace {

// Whether the last look found a policy root. Only decides whether a later row looks at policies at
// all; creations on other threads may see each other's answer, which is harmless.
std::atomic<bool> g_policyRootPresent{false};

bool FindPolicyRoot() noexcept {
    const bool present = PolicyRootExists(HKEY_CURRENT_USER) || PolicyRootExists(HKEY_LOCAL_MACHINE);
    g_policyRootPresent.store(present, std::memory_order_relaxed);
    return present;
}

} // namespace

void ReadOverride(const OverrideRow& row, const OverrideTarget& target) noexcept {
    if (row.forcePolicy) {
        g_policyRootPresent.store(true, std::memory_order_relaxed);
    }
    std::wstring value;
    if (ReadEnvironmentVariable(row.variableName, value)) {
        ApplyEnvironmentValue(value, target);
        return;
    }
    if (!row.forcePolicy && !g_policyRootPresent.load(std::memory_order_relaxed)) {
        return;
    }
    if (!FindPolicyRoot()) {
        return;
    }
    if (!ReadPolicyOverride(HKEY_LOCAL_MACHINE, row.policyKeyName, target, row.noWildcard)) {
        ReadPolicyOverride(HKEY_CURRENT_USER, row.policyKeyName, target, row.noWildcard);
    }
}

void ReadLoaderOverrides(LoaderSettings& settings, LoaderOverrideStorage& storage) noexcept {
    ReadOverride(
        {L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"BrowserExecutableFolder", true, false},
        {OverrideKind::Text, &settings, &settings.browserExecutableFolder, &storage.browserExecutableFolder});
    ReadOverride({L"WEBVIEW2_USER_DATA_FOLDER", L"UserDataFolder", false, true},
                 {OverrideKind::Text, &settings, &settings.userDataFolder, &storage.userDataFolder});

    std::wstring edgeView;
    if (ReadEnvironmentVariable(L"WEBVIEW2_USE_EDGE_VIEW", edgeView)) {
        settings.useEdgeView = edgeView == L"1";
    }

    // In Edge-view mode only policy values named after this application choose channels.
    const bool noWildcard = settings.useEdgeView;
    ReadOverride({L"WEBVIEW2_RELEASE_CHANNELS", L"ReleaseChannels", false, noWildcard},
                 {OverrideKind::ChannelList, &settings});
    ReadOverride({L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"ChannelSearchKind", false, noWildcard},
                 {OverrideKind::SearchKind, &settings});
    if (!settings.channelSearchKindSet) {
        ReadOverride({L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"ReleaseChannelPreference", false, noWildcard},
                     {OverrideKind::SearchKind, &settings});
    }
}
