#include "loader/event_enable_state.h"

void ApplyEnableControl(EventEnableState& state, ULONG controlCode, UCHAR level, ULONGLONG matchAnyKeyword,
                        ULONGLONG matchAllKeyword) noexcept {
    if (controlCode == kEventControlEnable) {
        state.matchAnyKeyword = matchAnyKeyword;
        state.matchAllKeyword = matchAllKeyword;
        state.levelPlus1 = level != 0 ? static_cast<uint32_t>(level) + 1 : 256;
    } else if (controlCode == kEventControlDisable) {
        state.levelPlus1 = 0;
    }
}

bool IsEventEnabled(const EventEnableState& state, UCHAR level, ULONGLONG keyword) noexcept {
    if (level >= state.levelPlus1) {
        return false;
    }
    if (keyword == 0) {
        return true;
    }
    const uint64_t all = state.matchAllKeyword;
    return (keyword & state.matchAnyKeyword) != 0 && (keyword & all) == all;
}

void ResetEnableState(EventEnableState& state) noexcept {
    state.levelPlus1 = 0;
    state.matchAnyKeyword = 0;
    state.matchAllKeyword = 0;
}
