// The override table: which environment variable and which policy key can replace each setting.
#pragma once

#include "loader/loader_settings.h"
#include "loader/override_values.h"

#include <string>

// Owned storage for the two texts that an override may supply; must outlive every use of the settings
// record that points into it.
struct LoaderOverrideStorage {
    std::wstring browserExecutableFolder;
    std::wstring userDataFolder;
};

struct OverrideRow {
    PCWSTR variableName;
    PCWSTR policyKeyName;
    bool forcePolicy; // look for the policy roots afresh, whatever the last look found
    bool noWildcard;  // ignore the "*" policy value
};

// One row: the environment variable wins, even with an empty value; otherwise the per-machine policy,
// then the per-user one, provided a policy root exists.
void ReadOverride(const OverrideRow& row, const OverrideTarget& target) noexcept;

// Every row of the table, in order, into `settings`; the texts they supply are kept in `storage`. Runs
// before ReadOptionsChannelSettings, which fills only what the rows left unset.
void ReadLoaderOverrides(LoaderSettings& settings, LoaderOverrideStorage& storage) noexcept;
