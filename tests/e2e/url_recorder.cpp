// Stands in for the user's browser and mail program in the end-to-end tests: registered as the open
// command of http, https and mailto in the test's Wine prefix, it only writes "shell-open <address>"
// to the test runtime's log (the variable reaches it through the program it was started from).
#include "test_runtime/runtime_log.h"
#include "test_runtime/runtime_protocol.h"

#include "platform/unique_handle.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const UniqueLocalMem owner(reinterpret_cast<HLOCAL>(args));
    std::vector<std::string> fields;
    for (int i = 1; args != nullptr && i < count; ++i) {
        fields.push_back(test_runtime::EscapeField(args[i]));
    }
    test_runtime::Log("shell-open", fields);
    return 0;
}
