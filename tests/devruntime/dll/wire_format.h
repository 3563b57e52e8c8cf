// The development runtime's wire format on its loopback connection to the browser driver.
//
// Every frame is a 4-byte big-endian length followed by that many bytes of UTF-8:
// - runtime -> driver: one JSON object with a "type" member (a record of what the program asked for);
// - driver -> runtime: a command word, a line feed, then the command's payload as raw UTF-8 text
//   ("webMessage\n{...}", "drop\nZ:\\notes\\a.md", "closeWindow\n"). Raw payloads keep a JSON parser out
//   of the client library: the only JSON it reads (a page message) is handed on to the program unparsed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One document travels in one frame, whatever its size; the cap only stops a corrupt length from
// asking for an absurd allocation.
inline constexpr uint32_t kMaxFrameBytes = 512u * 1024u * 1024u;
inline constexpr size_t kFrameHeaderBytes = 4;

// Lone surrogates become U+FFFD, like the platform's own conversion in its lenient mode.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// Appends `text` as a quoted JSON string (UTF-8), escaping quotes, backslashes and control characters.
void AppendJsonString(std::string& out, std::wstring_view text);

// The header of a frame carrying `bodyBytes` bytes.
std::string FrameHeader(uint32_t bodyBytes);
// The body length announced by a 4-byte header.
uint32_t FrameLength(const unsigned char (&header)[kFrameHeaderBytes]) noexcept;

struct DriverCommand {
    std::string_view verb;
    std::string_view payload;
};
// Splits a driver frame at its first line feed; a frame without one is a verb with an empty payload.
DriverCommand SplitCommand(std::string_view body) noexcept;

// Splits a payload into at most `count` fields at line feeds; the last field keeps the rest.
std::vector<std::string_view> SplitFields(std::string_view payload, size_t count);

// Builds one runtime -> driver record: {"type":"…", …} with members in the order they are added.
class JsonRecord {
public:
    explicit JsonRecord(std::string_view type);
    JsonRecord& String(std::string_view name, std::wstring_view value);
    JsonRecord& Number(std::string_view name, long long value);
    JsonRecord& Bool(std::string_view name, bool value);
    [[nodiscard]] std::string Finish();

private:
    void Name(std::string_view name);
    std::string text_;
};
