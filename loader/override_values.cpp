#include "loader/override_values.h"

#include "loader/ascii.h"
#include "loader/runtime_channels.h"

#include <cwctype>
#include <limits>
#include <new>

namespace {

constexpr uint32_t kStableChannelBit = 1;

bool IsWhiteSpace(wchar_t c) noexcept {
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

std::wstring_view Trim(std::wstring_view text) noexcept {
    while (!text.empty() && IsWhiteSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsWhiteSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

uint32_t ChannelBit(std::wstring_view piece) noexcept {
    size_t value = 0;
    for (const wchar_t c : piece) {
        if (!IsAsciiDigit(c)) {
            return kStableChannelBit;
        }
        // Once past the last channel the exact number no longer matters.
        if (value < kRuntimeChannelCount) {
            value = value * 10 + static_cast<size_t>(c - L'0');
        }
    }
    return value < kRuntimeChannelCount ? 1u << value : kStableChannelBit;
}

} // namespace

void ParseReleaseChannels(std::wstring_view text, uint32_t& mask, bool& set) noexcept {
    while (true) {
        const size_t comma = text.find(L',');
        const std::wstring_view piece = Trim(text.substr(0, comma));
        if (!piece.empty()) {
            mask |= ChannelBit(piece);
        }
        if (comma == std::wstring_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    set = true;
}

bool ReadsAsOne(std::wstring_view text) noexcept {
    size_t pos = 0;
    while (pos < text.size() && IsWhiteSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
        negative = text[pos] == L'-';
        ++pos;
    }
    uint64_t value = 0;
    constexpr uint64_t kSaturated = uint64_t{std::numeric_limits<int32_t>::max()} + 1;
    while (pos < text.size() && IsAsciiDigit(text[pos])) {
        value = value * 10 + static_cast<uint64_t>(text[pos] - L'0');
        if (value > kSaturated) {
            value = kSaturated;
        }
        ++pos;
    }
    return !negative && value == 1;
}

bool StoreOverrideText(std::wstring_view text, const OverrideTarget& target) noexcept {
    try {
        target.textStorage->assign(text);
    } catch (const std::bad_alloc&) {
        return false;
    }
    *target.textField = target.textStorage->c_str();
    return true;
}

void SetChannelSearchKind(LoaderSettings& settings, bool leastStableFirst) noexcept {
    settings.channelSearchKind = leastStableFirst ? kLeastStableFirst : 0;
    settings.channelSearchKindSet = true;
}

void ApplyEnvironmentValue(std::wstring_view value, const OverrideTarget& target) noexcept {
    switch (target.kind) {
    case OverrideKind::Text:
        StoreOverrideText(value, target);
        break;
    case OverrideKind::ChannelList:
        if (!value.empty()) {
            ParseReleaseChannels(value, target.settings->releaseChannels,
                                 target.settings->releaseChannelsSet);
        }
        break;
    case OverrideKind::SearchKind:
        SetChannelSearchKind(*target.settings, ReadsAsOne(value));
        break;
    }
}
