// How one override value is read and where it goes: the three kinds of value and the settings fields
// each kind writes.
#pragma once

#include "loader/loader_settings.h"

#include <string>
#include <string_view>

enum class OverrideKind {
    Text,        // a folder: stored, and the settings field points at the stored copy
    ChannelList, // "2, 3": release channels by index
    SearchKind,  // "1": least stable channel first; anything else most stable first
};

struct OverrideTarget {
    OverrideKind kind = OverrideKind::Text;
    LoaderSettings* settings = nullptr;
    // Text only: the settings field and the owned string that it will point into.
    PCWSTR* textField = nullptr;
    std::wstring* textStorage = nullptr;
};

// Splits at ",", trims white space from each piece and ORs one bit per non-empty piece into `mask`:
// a number n below 5 selects channel n, any other piece selects Stable. `set` becomes true even when
// no piece selects anything.
void ParseReleaseChannels(std::wstring_view text, uint32_t& mask, bool& set) noexcept;

// The text read as a decimal integer the way _wtoi reads it (leading white space, optional sign,
// digits up to the first other character) equals 1. Overflow saturates, so it never wraps to 1.
bool ReadsAsOne(std::wstring_view text) noexcept;

// Stores `text` for a Text target and points the settings field at it; false when it cannot be stored.
bool StoreOverrideText(std::wstring_view text, const OverrideTarget& target) noexcept;

// Applies an environment variable's value: an empty text still overrides a folder (an empty folder
// selects the installed-runtime search), but leaves the channel list alone.
void ApplyEnvironmentValue(std::wstring_view value, const OverrideTarget& target) noexcept;

void SetChannelSearchKind(LoaderSettings& settings, bool leastStableFirst) noexcept;
