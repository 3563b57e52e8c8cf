#include "wire_format.h"

#include <limits>
#include <stdexcept>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

} // namespace

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        throw std::length_error("text too long for one conversion");
    }
    const int units = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), units, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        throw std::length_error("text too long for one conversion");
    }
    const int bytes = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring out(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, out.data(), units);
    return out;
}

void AppendJsonString(std::string& out, std::wstring_view text) {
    const std::string utf8 = ToUtf8(text);
    out.reserve(out.size() + utf8.size() + 2);
    out.push_back('"');
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out.push_back(kHexDigits[byte >> 4]);
                out.push_back(kHexDigits[byte & 0xF]);
            } else {
                out.push_back(c);
            }
            break;
        }
    }
    out.push_back('"');
}

std::string FrameHeader(uint32_t bodyBytes) {
    return std::string{static_cast<char>((bodyBytes >> 24) & 0xFF),
                       static_cast<char>((bodyBytes >> 16) & 0xFF),
                       static_cast<char>((bodyBytes >> 8) & 0xFF), static_cast<char>(bodyBytes & 0xFF)};
}

uint32_t FrameLength(const unsigned char (&header)[kFrameHeaderBytes]) noexcept {
    return (static_cast<uint32_t>(header[0]) << 24) | (static_cast<uint32_t>(header[1]) << 16) |
           (static_cast<uint32_t>(header[2]) << 8) | static_cast<uint32_t>(header[3]);
}

DriverCommand SplitCommand(std::string_view body) noexcept {
    const size_t end = body.find('\n');
    if (end == std::string_view::npos) {
        return {body, {}};
    }
    return {body.substr(0, end), body.substr(end + 1)};
}

std::vector<std::string_view> SplitFields(std::string_view payload, size_t count) {
    std::vector<std::string_view> fields;
    while (count > 1) {
        const size_t end = payload.find('\n');
        if (end == std::string_view::npos) {
            break;
        }
        fields.push_back(payload.substr(0, end));
        payload.remove_prefix(end + 1);
        --count;
    }
    fields.push_back(payload);
    return fields;
}

JsonRecord::JsonRecord(std::string_view type) {
    text_ = "{\"type\":\"";
    text_ += type;
    text_ += '"';
}

void JsonRecord::Name(std::string_view name) {
    text_ += ",\"";
    text_ += name;
    text_ += "\":";
}

JsonRecord& JsonRecord::String(std::string_view name, std::wstring_view value) {
    Name(name);
    AppendJsonString(text_, value);
    return *this;
}

JsonRecord& JsonRecord::Number(std::string_view name, long long value) {
    Name(name);
    text_ += std::to_string(value);
    return *this;
}

JsonRecord& JsonRecord::Bool(std::string_view name, bool value) {
    Name(name);
    text_ += value ? "true" : "false";
    return *this;
}

std::string JsonRecord::Finish() {
    text_ += '}';
    return std::move(text_);
}
