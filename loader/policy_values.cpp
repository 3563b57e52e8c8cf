#include "loader/policy_values.h"

#include "loader/app_user_model_id.h"
#include "loader/module_path.h"
#include "loader/platform_seam.h"
#include "loader/registry_string.h"
#include "platform/unique_handle.h"

#include <new>

namespace {

// The executable's file name names its policy values; empty when the path is unavailable.
std::wstring ExecutableFileName() {
    std::wstring path;
    if (FAILED(GetModulePath(nullptr, path))) {
        return {};
    }
    const size_t lastSeparator = path.rfind(L'\\');
    return lastSeparator == std::wstring::npos ? path : path.substr(lastSeparator + 1);
}

} // namespace

bool PolicyRootExists(HKEY hive) noexcept {
    UniqueRegKey key;
    return GetLoaderPlatform().regOpenKeyExW(hive, kPolicyRoot, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool ReadPolicyValue(HKEY key, PCWSTR valueName, const OverrideTarget& target) noexcept {
    std::wstring text;
    switch (target.kind) {
    case OverrideKind::Text:
        return GetRegistryStringValue(key, valueName, text) && StoreOverrideText(text, target);
    case OverrideKind::ChannelList:
        if (!GetRegistryStringValue(key, valueName, text) || text.empty()) {
            return false;
        }
        ParseReleaseChannels(text, target.settings->releaseChannels, target.settings->releaseChannelsSet);
        return true;
    case OverrideKind::SearchKind: {
        DWORD number = 0;
        if (GetRegistryDwordValue(key, valueName, number)) {
            SetChannelSearchKind(*target.settings, number == 1);
            return true;
        }
        if (!GetRegistryStringValue(key, valueName, text)) {
            return false;
        }
        SetChannelSearchKind(*target.settings, ReadsAsOne(text));
        return true;
    }
    }
    return false;
}

bool ReadPolicyOverride(HKEY hive, PCWSTR policyKeyName, const OverrideTarget& target,
                        bool noWildcard) noexcept {
    try {
        // Without an ID the empty name addresses the key's unnamed default value.
        std::wstring appUserModelId;
        GetAppUserModelId(appUserModelId);
        const std::wstring exeName = ExecutableFileName();

        UniqueRegKey key;
        const std::wstring keyPath = std::wstring(kPolicyRoot) + policyKeyName;
        if (GetLoaderPlatform().regOpenKeyExW(hive, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
            ERROR_SUCCESS) {
            return false;
        }
        return ReadPolicyValue(key.get(), appUserModelId.c_str(), target) ||
               ReadPolicyValue(key.get(), exeName.c_str(), target) ||
               (!noWildcard && ReadPolicyValue(key.get(), L"*", target));
    } catch (const std::bad_alloc&) {
        return false;
    }
}
