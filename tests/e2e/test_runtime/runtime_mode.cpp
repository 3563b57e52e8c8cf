#include "test_runtime/runtime_mode.h"

#include "test_runtime/runtime_protocol.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <string_view>

namespace test_runtime {
namespace {

RuntimeMode ParseMode(std::wstring_view text) {
    constexpr std::wstring_view kFailCompletion = L"fail-environment-completion=";
    constexpr std::wstring_view kFailController = L"fail-controller=";
    RuntimeMode mode;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(L" ,", start);
        if (end == std::wstring_view::npos) {
            end = text.size();
        }
        const std::wstring_view word = text.substr(start, end - start);
        if (word == L"refuse-environment") {
            mode.refuseEnvironment = true;
        } else if (word == L"fail-controller") {
            mode.failController = true;
        } else if (word.substr(0, kFailController.size()) == kFailController) {
            mode.failController = true;
            mode.failedControllerCode = static_cast<long>(
                std::wcstoul(std::wstring(word.substr(kFailController.size())).c_str(), nullptr, 16));
        } else if (word == L"no-webview") {
            mode.noWebView = true;
        } else if (word.substr(0, kFailCompletion.size()) == kFailCompletion) {
            mode.failEnvironmentCompletions =
                std::wcstol(std::wstring(word.substr(kFailCompletion.size())).c_str(), nullptr, 10);
        }
        start = end + 1;
    }
    return mode;
}

RuntimeMode ReadMode() noexcept {
    try {
        wchar_t buffer[512] = {};
        const DWORD length = ::GetEnvironmentVariableW(kModeVariable, buffer, 512);
        if (length == 0 || length >= 512) {
            return {};
        }
        return ParseMode(std::wstring_view(buffer, length));
    } catch (...) {
        return {};
    }
}

} // namespace

const RuntimeMode& Mode() noexcept {
    static const RuntimeMode mode = ReadMode();
    return mode;
}

} // namespace test_runtime
