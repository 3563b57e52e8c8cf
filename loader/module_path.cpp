#include "loader/module_path.h"

#include "platform/last_error.h"

#include <new>

namespace {

// Most module paths fit the classic limit; a longer one gets exactly one more try.
constexpr DWORD kShortPathCapacity = MAX_PATH;
constexpr DWORD kLongPathCapacity = 4096;

} // namespace

HRESULT GetModulePath(HMODULE module, std::wstring& path) noexcept {
    path.clear();
    try {
        DWORD capacity = kShortPathCapacity;
        path.assign(capacity, L'\0');
        ::SetLastError(ERROR_SUCCESS);
        DWORD length = ::GetModuleFileNameW(module, path.data(), capacity);
        if (length == capacity && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            capacity = kLongPathCapacity;
            path.assign(capacity, L'\0');
            ::SetLastError(ERROR_SUCCESS);
            length = ::GetModuleFileNameW(module, path.data(), capacity);
        }
        if (length == 0 || length >= capacity) {
            const HRESULT hr = LastErrorAsFailure();
            path.clear();
            return hr;
        }
        path.resize(length);
        return S_OK;
    } catch (const std::bad_alloc&) {
        path.clear();
        return E_OUTOFMEMORY;
    }
}
