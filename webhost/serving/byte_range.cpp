#include "webhost/serving/byte_range.h"

#include "webhost/text/case_insensitive.h"

#include <optional>

namespace {

constexpr std::wstring_view kUnit = L"bytes";

std::wstring_view Trim(std::wstring_view text) noexcept {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// A run of decimal digits, or nothing when it is empty, holds anything else or does not fit.
std::optional<uint64_t> ParseNumber(std::wstring_view text) noexcept {
    if (text.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        const uint64_t digit = static_cast<uint64_t>(c - L'0');
        if (value > (UINT64_MAX - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

ByteRangeChoice ChooseByteRange(std::wstring_view rangeHeader, uint64_t fileSize, uint64_t maxLength,
                                uint64_t maxWhole) noexcept {
    const ByteRangeChoice whole =
        fileSize > maxWhole ? ByteRangeChoice{RangeAnswer::Partial, 0, maxLength} : ByteRangeChoice{};
    std::wstring_view text = Trim(rangeHeader);
    if (text.size() <= kUnit.size() || !EqualsIgnoringCase(text.substr(0, kUnit.size()), kUnit)) {
        return whole;
    }
    text = Trim(text.substr(kUnit.size()));
    if (text.empty() || text.front() != L'=') {
        return whole;
    }
    text = Trim(text.substr(1));
    const size_t dash = text.find(L'-');
    if (dash == std::wstring_view::npos || text.find(L',') != std::wstring_view::npos) {
        return whole;
    }
    const std::wstring_view firstText = Trim(text.substr(0, dash));
    const std::wstring_view lastText = Trim(text.substr(dash + 1));

    uint64_t first = 0;
    uint64_t last = 0;
    if (firstText.empty()) {
        const std::optional<uint64_t> suffix = ParseNumber(lastText);
        if (!suffix) {
            return whole;
        }
        if (*suffix == 0 || fileSize == 0) {
            return {RangeAnswer::Unsatisfiable, 0, 0};
        }
        first = *suffix >= fileSize ? 0 : fileSize - *suffix;
        last = fileSize - 1;
    } else {
        const std::optional<uint64_t> from = ParseNumber(firstText);
        if (!from) {
            return whole;
        }
        first = *from;
        if (lastText.empty()) {
            last = UINT64_MAX;
        } else {
            const std::optional<uint64_t> to = ParseNumber(lastText);
            if (!to || *to < first) {
                return whole;
            }
            last = *to;
        }
        if (first >= fileSize) {
            return {RangeAnswer::Unsatisfiable, 0, 0};
        }
        if (last > fileSize - 1) {
            last = fileSize - 1;
        }
    }
    uint64_t length = last - first + 1;
    if (maxLength != 0 && length > maxLength) {
        length = maxLength;
    }
    return {RangeAnswer::Partial, first, length};
}
