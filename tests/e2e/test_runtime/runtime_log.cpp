#include "test_runtime/runtime_log.h"

#include "platform/unique_handle.h"
#include "test_runtime/runtime_protocol.h"

#include <cstdio>
#include <string>

namespace test_runtime {
namespace {

std::wstring LogPath() {
    const DWORD size = ::GetEnvironmentVariableW(kLogVariable, nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring path(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(kLogVariable, path.data(), size);
    path.resize(length < size ? length : 0);
    return path;
}

template <typename Fields> void AppendLine(std::string_view tag, const Fields& fields) noexcept {
    try {
        static const std::wstring path = LogPath();
        if (path.empty()) {
            return;
        }
        std::string line(tag);
        for (const std::string& field : fields) {
            line.push_back(' ');
            line.append(field);
        }
        line.push_back('\n');
        UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return;
        }
        DWORD written = 0;
        ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } catch (...) {
        // A lost log line shows up as a failed expectation in the test that reads it.
    }
}

} // namespace

void Log(std::string_view tag, std::initializer_list<std::string> fields) noexcept {
    AppendLine(tag, fields);
}

void Log(std::string_view tag, const std::vector<std::string>& fields) noexcept {
    AppendLine(tag, fields);
}

std::string NumberField(long long value) {
    return std::to_string(value);
}

std::string HresultField(HRESULT value) {
    char text[9] = {};
    std::snprintf(text, sizeof(text), "%08lX", static_cast<unsigned long>(value));
    return text;
}

std::string RectFields(const RECT& rect) {
    return std::to_string(rect.left) + ' ' + std::to_string(rect.top) + ' ' + std::to_string(rect.right) +
           ' ' + std::to_string(rect.bottom);
}

} // namespace test_runtime
