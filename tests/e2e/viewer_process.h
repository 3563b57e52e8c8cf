// One run of the real tallowmere.exe, started from a test with its own command line and environment.
#pragma once

#include "platform/unique_handle.h"

#include <windows.h>

#include <map>
#include <string>

class ViewerProcess {
public:
    // Starts tallowmere.exe with `commandLineTail` after its quoted path, in `currentFolder`. The child
    // gets this process's environment without any WEBVIEW2_* or test-runtime variable, plus
    // `environment`. Check started() afterwards.
    ViewerProcess(const std::wstring& commandLineTail,
                  const std::map<std::wstring, std::wstring>& environment, const std::wstring& currentFolder);
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;
    // A child still running is ended so that one failed test cannot hang the suite.
    ~ViewerProcess();

    bool started() const noexcept { return process_.valid(); }
    // Why the last attempt to start failed (GetLastError), or 0.
    DWORD startError() const noexcept { return startError_; }
    DWORD id() const noexcept { return processId_; }

    // The exit code, or nothing (false) when the process has not ended within `milliseconds`.
    bool WaitForExit(DWORD milliseconds, DWORD& exitCode) noexcept;

private:
    static constexpr int kStartAttempts = 3;
    static constexpr DWORD kStartRetryMilliseconds = 500;

    UniqueKernelHandle process_;
    UniqueKernelHandle thread_;
    DWORD processId_ = 0;
    DWORD startError_ = 0;
};
