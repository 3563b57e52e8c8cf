#include "app/command_line.h"

#include "platform/long_path.h"
#include "platform/unique_handle.h"

#include <windows.h>
#include <shellapi.h>

#include <string_view>

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

ExportCommand ExportFromCommandLine(const wchar_t* tail, ExportArguments& arguments) {
    if (tail == nullptr || *tail == L'\0') {
        return ExportCommand::None;
    }
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(tail, &count);
    UniqueLocalMem owner(reinterpret_cast<HLOCAL>(args));
    if (args == nullptr || count < 1 || std::wstring_view(args[0]) != L"--export" ||
        ::GetFileAttributesW(ExtendedLengthPath(args[0]).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return ExportCommand::None;
    }
    if (count != 3 && count != 5) {
        return ExportCommand::Malformed;
    }
    arguments.out = args[1];
    arguments.document = args[2];
    if (count == 5) {
        const std::wstring_view dialect = args[4];
        if (std::wstring_view(args[3]) != L"--dialect" || (dialect != L"classic" && dialect != L"github")) {
            return ExportCommand::Malformed;
        }
        arguments.dialect = dialect;
    }
    return ExportCommand::Valid;
}
