// Policy values below "Software\Policies\Microsoft\Edge\WebView2\": one key per setting, holding
// values named after the application they apply to.
#pragma once

#include "loader/override_values.h"

#include <windows.h>

inline constexpr PCWSTR kPolicyRoot = L"Software\\Policies\\Microsoft\\Edge\\WebView2\\";

bool PolicyRootExists(HKEY hive) noexcept;

// Reads the setting's policy key in `hive` for the value named after the application user model ID,
// then after the executable's file name, then (unless `noWildcard`) "*". The first value found is
// applied to `target`.
bool ReadPolicyOverride(HKEY hive, PCWSTR policyKeyName, const OverrideTarget& target,
                        bool noWildcard) noexcept;

// One value of an open policy key, read and applied according to the target's kind.
bool ReadPolicyValue(HKEY key, PCWSTR valueName, const OverrideTarget& target) noexcept;
