#include "platform/utf8.h"

#include <windows.h>

std::wstring DecodeUtf8(const char* bytes, size_t count) {
    std::wstring text;
    if (count == 0 || count > kMaxDecodableBytes) {
        return text;
    }
    const int byteCount = static_cast<int>(count);
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, bytes, byteCount, nullptr, 0);
    if (units <= 0) {
        return text;
    }
    text.resize(static_cast<size_t>(units));
    const int written = ::MultiByteToWideChar(CP_UTF8, 0, bytes, byteCount, text.data(), units);
    text.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return text;
}

std::string EncodeUtf8(std::wstring_view text) {
    std::string bytes;
    if (text.empty() || text.size() > kMaxEncodableUnits) {
        return bytes;
    }
    const int units = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return bytes;
    }
    bytes.resize(static_cast<size_t>(size));
    const int written =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), units, bytes.data(), size, nullptr, nullptr);
    bytes.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return bytes;
}
