// What the test runtime and the end-to-end tests agree on: the environment variables that steer the
// runtime, and the one line format of both its log and its page script (see README.md beside this file).
//
// A line is fields separated by single spaces. The first field is a plain word (the log tag or the
// script command). Every other field is UTF-16 text written in ASCII: printable ASCII characters other
// than the backslash and the space stand for themselves; a backslash is written "\\"; every other code
// unit (space, control codes, non-ASCII, lone surrogates) is written "\uXXXX" with four hexadecimal
// digits. A field that is the empty text is written "\e", a null text "\z". So every code unit of a
// text survives the trip exactly, and a line never holds a raw space, line feed or NUL inside a field.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace test_runtime {

// Full path of the log file; without it the runtime logs nothing.
inline constexpr wchar_t kLogVariable[] = L"TALLOWMERE_TEST_RUNTIME_LOG";
// Full path of the page script; without it the page does nothing by itself.
inline constexpr wchar_t kScriptVariable[] = L"TALLOWMERE_TEST_RUNTIME_SCRIPT";
// Failure switches, separated by spaces or commas: "refuse-environment", "fail-environment-completion=N",
// "fail-controller" (or "fail-controller=<hex code>"), "no-webview".
inline constexpr wchar_t kModeVariable[] = L"TALLOWMERE_TEST_RUNTIME_MODE";

// Error codes the runtime reports in its failure modes (distinct, so a test sees which one arrived).
inline constexpr long kRefusedEnvironment = static_cast<long>(0x80070005);          // E_ACCESSDENIED
inline constexpr long kFailedEnvironmentCompletion = static_cast<long>(0x80004004); // E_ABORT
inline constexpr long kFailedController = static_cast<long>(0x8000FFFF);            // E_UNEXPECTED

inline std::string EscapeField(std::wstring_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (text.empty()) {
        return "\\e";
    }
    std::string out;
    out.reserve(text.size());
    for (const wchar_t unit : text) {
        if (unit == L'\\') {
            out += "\\\\";
        } else if (unit > L' ' && unit < 0x7F) {
            out.push_back(static_cast<char>(unit));
        } else {
            const unsigned value = static_cast<unsigned>(unit) & 0xFFFFu;
            out += "\\u";
            out.push_back(kHex[(value >> 12) & 0xF]);
            out.push_back(kHex[(value >> 8) & 0xF]);
            out.push_back(kHex[(value >> 4) & 0xF]);
            out.push_back(kHex[value & 0xF]);
        }
    }
    return out;
}

inline std::string EscapeField(const wchar_t* text) {
    return text == nullptr ? std::string("\\z") : EscapeField(std::wstring_view(text));
}

inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The text of a field; "\z" (null) reads as empty. A malformed escape is kept literally.
inline std::wstring UnescapeField(std::string_view field) {
    std::wstring out;
    if (field == "\\e" || field == "\\z") {
        return out;
    }
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 1 < field.size() && field[i + 1] == '\\') {
            out.push_back(L'\\');
            ++i;
            continue;
        }
        if (c == '\\' && i + 5 < field.size() && field[i + 1] == 'u') {
            int value = 0;
            bool valid = true;
            for (size_t k = 2; k < 6; ++k) {
                const int digit = HexDigitValue(field[i + k]);
                valid = valid && digit >= 0;
                value = value * 16 + (digit < 0 ? 0 : digit);
            }
            if (valid) {
                out.push_back(static_cast<wchar_t>(value));
                i += 5;
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return out;
}

// The fields of one line (without its line end).
inline std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= line.size()) {
        const size_t end = line.find(' ', start);
        const size_t stop = end == std::string_view::npos ? line.size() : end;
        if (stop > start) {
            fields.emplace_back(line.substr(start, stop - start));
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return fields;
}

} // namespace test_runtime
