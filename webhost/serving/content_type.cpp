#include "webhost/serving/content_type.h"

#include <cwctype>

namespace {

struct ExtensionType {
    std::wstring_view extension; // lower case, without the dot
    std::wstring_view type;
};

// What documents refer to: pictures, video and audio the page can play, text, and common attachments.
constexpr ExtensionType kTypes[] = {
    {L"png", L"image/png"},
    {L"jpg", L"image/jpeg"},
    {L"jpeg", L"image/jpeg"},
    {L"gif", L"image/gif"},
    {L"webp", L"image/webp"},
    {L"avif", L"image/avif"},
    {L"svg", L"image/svg+xml"},
    {L"bmp", L"image/bmp"},
    {L"ico", L"image/x-icon"},
    {L"mp4", L"video/mp4"},
    {L"m4v", L"video/mp4"},
    {L"webm", L"video/webm"},
    {L"ogv", L"video/ogg"},
    {L"mov", L"video/quicktime"},
    {L"mp3", L"audio/mpeg"},
    {L"m4a", L"audio/mp4"},
    {L"aac", L"audio/aac"},
    {L"wav", L"audio/wav"},
    {L"flac", L"audio/flac"},
    {L"ogg", L"audio/ogg"},
    {L"oga", L"audio/ogg"},
    {L"opus", L"audio/ogg"},
    {L"vtt", L"text/vtt; charset=utf-8"},
    {L"md", L"text/markdown; charset=utf-8"},
    {L"markdown", L"text/markdown; charset=utf-8"},
    {L"txt", L"text/plain; charset=utf-8"},
    {L"csv", L"text/csv; charset=utf-8"},
    {L"html", L"text/html; charset=utf-8"},
    {L"htm", L"text/html; charset=utf-8"},
    {L"css", L"text/css; charset=utf-8"},
    {L"js", L"text/javascript; charset=utf-8"},
    {L"json", L"application/json"},
    {L"xml", L"application/xml"},
    {L"pdf", L"application/pdf"},
    {L"zip", L"application/zip"},
};

constexpr std::wstring_view kUnknownType = L"application/octet-stream";
constexpr size_t kLongestExtension = 8;

} // namespace

std::wstring_view ContentTypeForPath(std::wstring_view path) noexcept {
    const size_t dot = path.find_last_of(L".\\/");
    if (dot == std::wstring_view::npos || path[dot] != L'.') {
        return kUnknownType;
    }
    const std::wstring_view extension = path.substr(dot + 1);
    if (extension.empty() || extension.size() > kLongestExtension) {
        return kUnknownType;
    }
    wchar_t lower[kLongestExtension] = {};
    for (size_t i = 0; i < extension.size(); ++i) {
        lower[i] = static_cast<wchar_t>(std::towlower(extension[i]));
    }
    const std::wstring_view key(lower, extension.size());
    for (const ExtensionType& entry : kTypes) {
        if (entry.extension == key) {
            return entry.type;
        }
    }
    return kUnknownType;
}
