// The process's application user model ID, which names its own policy values.
#pragma once

#include <windows.h>

#include <string>

// The packaged application's ID when there is one, else the explicit ID the process set for itself.
// On failure `id` is empty; HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when neither look-up exists.
HRESULT GetAppUserModelId(std::wstring& id) noexcept;
