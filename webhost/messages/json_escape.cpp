#include "webhost/messages/json_escape.h"

namespace {

// Length of the escape for one code unit: 1 when it passes unchanged.
constexpr size_t EscapedWidth(wchar_t c) noexcept {
    if (c >= 0x20) {
        return (c == L'"' || c == L'\\') ? 2 : 1;
    }
    return (c == L'\t' || c == L'\n' || c == L'\r') ? 2 : 6;
}

} // namespace

size_t JsonEscapedLength(std::wstring_view text) noexcept {
    size_t length = 0;
    for (wchar_t c : text) {
        length += EscapedWidth(c);
    }
    return length;
}

namespace {

wchar_t* WriteEscaped(wchar_t* out, std::wstring_view text) noexcept {
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    for (wchar_t c : text) {
        if (c >= 0x20 && c != L'"' && c != L'\\') {
            *out++ = c;
            continue;
        }
        *out++ = L'\\';
        switch (c) {
        case L'\t':
            *out++ = L't';
            break;
        case L'\n':
            *out++ = L'n';
            break;
        case L'\r':
            *out++ = L'r';
            break;
        case L'"':
        case L'\\':
            *out++ = c;
            break;
        default:
            *out++ = L'u';
            *out++ = L'0';
            *out++ = L'0';
            *out++ = kHex[(c >> 4) & 0xF];
            *out++ = kHex[c & 0xF];
            break;
        }
    }
    return out;
}

} // namespace

void AppendJsonEscaped(std::wstring& out, std::wstring_view text) {
    // Measure first, then write into storage of exactly the right size: a large document is then
    // copied once, with no regrowth and no per-piece append overhead.
    const size_t start = out.size();
    out.resize(start + JsonEscapedLength(text));
    WriteEscaped(out.data() + start, text);
}

std::wstring EscapeJsonString(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 32);
    AppendJsonEscaped(out, text);
    return out;
}
