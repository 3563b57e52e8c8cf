// The override table: which environment variable and which policy key can replace each setting.
#pragma once

#include "loader/override_values.h"

struct OverrideRow {
    PCWSTR variableName;
    PCWSTR policyKeyName;
    bool forcePolicy; // look for the policy roots afresh, whatever the last look found
    bool noWildcard;  // ignore the "*" policy value
};

// One row: the environment variable wins, even with an empty value; otherwise the per-machine policy,
// then the per-user one, provided a policy root exists.
void ReadOverride(const OverrideRow& row, const OverrideTarget& target) noexcept;
