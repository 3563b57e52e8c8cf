#include "webhost/messages/page_message_fields.h"

#include "webhost/text/hex_digit.h"

#include <vector>

namespace {

// Deeper nesting than this is no message of the page's.
constexpr int kMaxDepth = 32;
// The letters after a backslash that stand for one character, and those characters.
constexpr std::wstring_view kShortEscapes = L"\"\\/bfnrt";
constexpr std::wstring_view kShortEscaped = L"\"\\/\b\f\n\r\t";

bool IsJsonSpace(wchar_t c) noexcept {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r';
}

// A JSON text read from `at` on; every step returns false on the first thing that is not JSON.
class Scanner {
public:
    explicit Scanner(std::wstring_view text) noexcept : text_(text) {}

    size_t at() const noexcept { return at_; }
    bool AtEnd() noexcept {
        SkipSpace();
        return at_ == text_.size();
    }

    bool Take(wchar_t c) noexcept {
        SkipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    // A string at the current position; its text, escapes undone, into `out` when given.
    bool String(std::wstring* out) {
        if (!Take(L'"')) {
            return false;
        }
        while (at_ < text_.size()) {
            const wchar_t c = text_[at_++];
            if (c == L'"') {
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c != L'\\') {
                if (out) {
                    out->push_back(c);
                }
                continue;
            }
            if (at_ >= text_.size()) {
                return false;
            }
            const wchar_t escaped = text_[at_++];
            const size_t shortForm = kShortEscapes.find(escaped);
            wchar_t unit = 0;
            if (shortForm != std::wstring_view::npos) {
                unit = kShortEscaped[shortForm];
            } else if (escaped == L'u' && at_ + 4 <= text_.size()) {
                for (int i = 0; i < 4; ++i) {
                    const int digit = HexDigitValue(text_[at_++]);
                    if (digit < 0) {
                        return false;
                    }
                    unit = static_cast<wchar_t>(unit * 16 + digit);
                }
            } else {
                return false;
            }
            if (out) {
                out->push_back(unit);
            }
        }
        return false;
    }

    // Any value, stepped over.
    bool Value(int depth) {
        SkipSpace();
        if (at_ >= text_.size() || depth > kMaxDepth) {
            return false;
        }
        const wchar_t c = text_[at_];
        if (c == L'"') {
            return String(nullptr);
        }
        if (c == L'{') {
            return Object(depth + 1, nullptr);
        }
        if (c == L'[') {
            ++at_;
            if (Take(L']')) {
                return true;
            }
            do {
                if (!Value(depth + 1)) {
                    return false;
                }
            } while (Take(L','));
            return Take(L']');
        }
        for (const std::wstring_view word : {L"true", L"false", L"null"}) {
            if (text_.substr(at_, word.size()) == word) {
                at_ += word.size();
                return true;
            }
        }
        return Number();
    }

    // An object; with `members`, the name and value start of each of its members.
    bool Object(int depth, std::vector<std::pair<std::wstring, size_t>>* members) {
        if (!Take(L'{')) {
            return false;
        }
        if (Take(L'}')) {
            return true;
        }
        do {
            std::wstring name;
            if (!String(&name) || !Take(L':')) {
                return false;
            }
            SkipSpace();
            if (members) {
                members->emplace_back(std::move(name), at_);
            }
            if (!Value(depth)) {
                return false;
            }
        } while (Take(L','));
        return Take(L'}');
    }

private:
    void SkipSpace() noexcept {
        while (at_ < text_.size() && IsJsonSpace(text_[at_])) {
            ++at_;
        }
    }

    bool Number() noexcept {
        const size_t start = at_;
        if (at_ < text_.size() && text_[at_] == L'-') {
            ++at_;
        }
        const auto digits = [&] {
            const size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= L'0' && text_[at_] <= L'9') {
                ++at_;
            }
            return at_ > from;
        };
        if (!digits()) {
            return false;
        }
        if (at_ < text_.size() && text_[at_] == L'.' && (++at_, !digits())) {
            return false;
        }
        if (at_ < text_.size() && (text_[at_] == L'e' || text_[at_] == L'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == L'+' || text_[at_] == L'-')) {
                ++at_;
            }
            if (!digits()) {
                return false;
            }
        }
        return at_ > start;
    }

    std::wstring_view text_;
    size_t at_ = 0;
};

} // namespace

PageMessageFields::PageMessageFields(std::wstring_view json) : json_(json) {
    Scanner scanner(json_);
    valid_ = scanner.Object(0, nullptr) && scanner.AtEnd();
}

size_t PageMessageFields::ValueOf(std::wstring_view name) const {
    if (!valid_) {
        return std::wstring_view::npos;
    }
    std::vector<std::pair<std::wstring, size_t>> members;
    Scanner scanner(json_);
    scanner.Object(0, &members);
    for (const auto& [member, start] : members) {
        if (member == name) {
            return start;
        }
    }
    return std::wstring_view::npos;
}

std::optional<std::wstring> PageMessageFields::String(std::wstring_view name) const {
    const size_t start = ValueOf(name);
    if (start == std::wstring_view::npos) {
        return std::nullopt;
    }
    Scanner scanner(std::wstring_view(json_).substr(start));
    std::wstring value;
    if (!scanner.String(&value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<uint32_t> PageMessageFields::Number(std::wstring_view name) const {
    const size_t start = ValueOf(name);
    if (start == std::wstring_view::npos) {
        return std::nullopt;
    }
    uint64_t value = 0;
    size_t at = start;
    for (; at < json_.size() && json_[at] >= L'0' && json_[at] <= L'9'; ++at) {
        value = value * 10 + static_cast<uint64_t>(json_[at] - L'0');
        if (value > UINT32_MAX) {
            return std::nullopt;
        }
    }
    // A plain whole number ends where the value ends: at a separator, never at ".", "e" or a digit.
    if (at == start || (at - start > 1 && json_[start] == L'0') ||
        (at < json_.size() && json_[at] != L',' && json_[at] != L'}' && !IsJsonSpace(json_[at]))) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}
