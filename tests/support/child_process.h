// Starting the real program as a child process and finding its windows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ChildProcess {
    PROCESS_INFORMATION info{};
    ~ChildProcess() {
        if (info.hProcess != nullptr) {
            if (::WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(info.hProcess, 99);
            }
            ::CloseHandle(info.hProcess);
        }
        if (info.hThread != nullptr) {
            ::CloseHandle(info.hThread);
        }
    }
    bool Start(const std::wstring& exe, const std::wstring& arguments) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!arguments.empty()) {
            commandLine += L" " + arguments;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        return ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &info) != FALSE;
    }
    // Exit code, or STILL_ACTIVE when it has not ended within the time.
    DWORD WaitForExit(DWORD milliseconds) const {
        ::WaitForSingleObject(info.hProcess, milliseconds);
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
};

// The top-level windows of a process with a given class name ("#32770" for dialog boxes).
inline std::vector<HWND> FindProcessWindows(DWORD processId, const wchar_t* className) {
    struct Search {
        DWORD processId;
        const wchar_t* className;
        std::vector<HWND> found;
    } search{processId, className, {}};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            wchar_t name[64]{};
            ::GetClassNameW(window, name, 64);
            if (owner == s->processId && wcscmp(name, s->className) == 0) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls until the process shows a window of the class, or the time is up.
inline HWND WaitForProcessWindow(DWORD processId, const wchar_t* className, DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    do {
        auto found = FindProcessWindows(processId, className);
        if (!found.empty()) {
            return found.front();
        }
        ::Sleep(50);
    } while (::GetTickCount64() < deadline);
    return nullptr;
}
