#include "viewer_process.h"

#include <algorithm>
#include <cwctype>
#include <string_view>
#include <vector>

namespace {

bool IsControlledVariable(std::wstring_view entry) {
    std::wstring upper(entry.substr(0, entry.find(L'=', 1)));
    std::transform(upper.begin(), upper.end(), upper.begin(), [](wchar_t c) { return std::towupper(c); });
    return upper.rfind(L"WEBVIEW2_", 0) == 0 || upper.rfind(L"TALLOWMERE_TEST_RUNTIME_", 0) == 0;
}

// The inherited environment, cleaned, with `extra` added; sorted and double-NUL-terminated as
// CreateProcessW expects a Unicode block.
std::vector<wchar_t> BuildEnvironmentBlock(const std::map<std::wstring, std::wstring>& extra) {
    std::vector<std::wstring> entries;
    if (wchar_t* inherited = ::GetEnvironmentStringsW()) {
        for (const wchar_t* p = inherited; *p != L'\0'; p += std::wcslen(p) + 1) {
            if (!IsControlledVariable(p)) {
                entries.emplace_back(p);
            }
        }
        ::FreeEnvironmentStringsW(inherited);
    }
    for (const auto& [name, value] : extra) {
        entries.push_back(name + L"=" + value);
    }
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    });
    std::vector<wchar_t> block;
    for (const std::wstring& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

} // namespace

ViewerProcess::ViewerProcess(const std::wstring& commandLineTail,
                             const std::map<std::wstring, std::wstring>& environment,
                             const std::wstring& currentFolder) {
    std::wstring commandLine = L"\"" + std::wstring(TALLOWMERE_EXE_PATH) + L"\"";
    if (!commandLineTail.empty()) {
        commandLine += L" " + commandLineTail;
    }
    std::vector<wchar_t> block = BuildEnvironmentBlock(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // Wine's process creation has failed now and then on a heavily loaded machine; a missing or broken
    // program fails every attempt.
    for (int attempt = 0;; ++attempt) {
        if (::CreateProcessW(TALLOWMERE_EXE_PATH, commandLine.data(), nullptr, nullptr, FALSE,
                             CREATE_UNICODE_ENVIRONMENT, block.data(), currentFolder.c_str(), &startup,
                             &info)) {
            break;
        }
        startError_ = ::GetLastError();
        if (attempt + 1 == kStartAttempts) {
            return;
        }
        ::Sleep(kStartRetryMilliseconds);
    }
    process_.reset(info.hProcess);
    thread_.reset(info.hThread);
    processId_ = info.dwProcessId;
}

ViewerProcess::~ViewerProcess() {
    if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.get(), 99);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

bool ViewerProcess::WaitForExit(DWORD milliseconds, DWORD& exitCode) noexcept {
    if (!process_ || ::WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0) {
        return false;
    }
    return ::GetExitCodeProcess(process_.get(), &exitCode) != FALSE;
}
