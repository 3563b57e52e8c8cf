#include "app/command_line.h"

#include "platform/long_path.h"
#include "platform/unique_handle.h"

#include <windows.h>
#include <shellapi.h>

std::wstring PendingDocumentFromCommandLine(const wchar_t* tail) {
    // An empty line would make the splitter report the program's own path as the first argument.
    if (tail == nullptr || *tail == L'\0') {
        return {};
    }
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(tail, &count);
    UniqueLocalMem owner(reinterpret_cast<HLOCAL>(args));
    if (args == nullptr || count < 1) {
        return {};
    }
    if (::GetFileAttributesW(ExtendedLengthPath(args[0]).c_str()) == INVALID_FILE_ATTRIBUTES) {
        return {};
    }
    return args[0];
}
