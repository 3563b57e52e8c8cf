#include "loader/environment_variable.h"

#include <new>

namespace {

// A variable holds at most 32767 characters; a value that still has not fitted after this many
// rounds is being rewritten faster than it can be read.
constexpr int kMaxReadAttempts = 16;

} // namespace

bool ReadEnvironmentVariable(PCWSTR name, std::wstring& value, GetEnvironmentVariableFn read) noexcept {
    value.clear();
    DWORD size = read(name, nullptr, 0);
    if (size == 0) {
        return false;
    }
    try {
        for (int attempt = 0; attempt < kMaxReadAttempts; ++attempt) {
            value.assign(size, L'\0');
            ::SetLastError(ERROR_SUCCESS);
            const DWORD length = read(name, value.data(), size);
            if (length == 0) {
                // Either the value is now empty or the variable is gone.
                value.clear();
                return ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
            }
            if (length < size) {
                value.resize(length);
                return true;
            }
            // The value grew since the size query: `length` is the size it needs now.
            size = length;
        }
    } catch (const std::bad_alloc&) {
    }
    value.clear();
    return false;
}

bool ReadEnvironmentVariable(PCWSTR name, std::wstring& value) noexcept {
    return ReadEnvironmentVariable(name, value, &::GetEnvironmentVariableW);
}
