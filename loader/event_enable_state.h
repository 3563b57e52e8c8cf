// What a trace listener asked of an event-tracing provider, as its enable callback reports it, and the
// test whether an event of a given level and keyword is wanted.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

// The callback may run on a thread of the tracing system while the provider is registered; each value is
// read and written whole.
struct EventEnableState {
    std::atomic<uint32_t> levelPlus1{0}; // 0: disabled; 256: every level
    std::atomic<uint64_t> matchAnyKeyword{0};
    std::atomic<uint64_t> matchAllKeyword{0};
};

// Control codes of the enable callback.
inline constexpr ULONG kEventControlDisable = 0;
inline constexpr ULONG kEventControlEnable = 1;

// Enable records the level (0 meaning every level) and both keyword masks; disable clears the level;
// other codes (such as capture-state requests) change nothing.
void ApplyEnableControl(EventEnableState& state, ULONG controlCode, UCHAR level, ULONGLONG matchAnyKeyword,
                        ULONGLONG matchAllKeyword) noexcept;

// An event with keyword 0 is wanted at any enabled level; otherwise it needs one of the "any" bits and all
// of the "all" bits.
bool IsEventEnabled(const EventEnableState& state, UCHAR level, ULONGLONG keyword) noexcept;

void ResetEnableState(EventEnableState& state) noexcept;
