#include "loader/app_user_model_id.h"

#include "loader/platform_seam.h"
#include "platform/unique_handle.h"

#include <new>

namespace {

// One unit more than the longest ID, so that an ID of the maximum length always fits.
constexpr UINT32 kIdCapacity = kAppUserModelIdMaxLength + 1;

} // namespace

HRESULT GetAppUserModelId(std::wstring& id) noexcept {
    id.clear();
    const LoaderPlatform& platform = GetLoaderPlatform();
    try {
        if (platform.getCurrentApplicationUserModelId != nullptr) {
            wchar_t buffer[kIdCapacity] = {};
            UINT32 length = kIdCapacity;
            if (platform.getCurrentApplicationUserModelId(&length, buffer) == ERROR_SUCCESS) {
                // `length` counts the terminator.
                if (length == 0 || length > kIdCapacity) {
                    return E_UNEXPECTED;
                }
                id.assign(buffer, length - 1);
                return S_OK;
            }
        }
        if (platform.getCurrentProcessExplicitAppUserModelId == nullptr) {
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        }
        PWSTR raw = nullptr;
        const HRESULT hr = platform.getCurrentProcessExplicitAppUserModelId(&raw);
        const UniqueCoTaskString explicitId(raw);
        if (SUCCEEDED(hr) && explicitId) {
            id = explicitId.get();
        }
        return hr;
    } catch (const std::bad_alloc&) {
        id.clear();
        return E_OUTOFMEMORY;
    }
}
