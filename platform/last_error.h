// The failure that the last Win32 call left behind, as an HRESULT.
#pragma once

#include <windows.h>

// A call that failed without setting an error code must still be reported as a failure, never as S_OK.
inline HRESULT LastErrorAsFailure() noexcept {
    const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
}
