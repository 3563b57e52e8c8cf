#include "webhost/export/export_file.h"

#include "platform/long_path.h"
#include "platform/unique_handle.h"

#include <algorithm>

namespace {

HRESULT LastErrorResult() noexcept {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

} // namespace

std::wstring TemporaryNameBeside(const std::wstring& destination) {
    return destination + L"." + std::to_wstring(::GetCurrentProcessId()) + L".partial";
}

HRESULT ReplaceWithWhole(const std::wstring& temporary, const std::wstring& destination) noexcept {
    try {
        const std::wstring from = ExtendedLengthPath(temporary);
        if (::MoveFileExW(from.c_str(), ExtendedLengthPath(destination).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return S_OK;
        }
        const HRESULT failure = LastErrorResult();
        ::DeleteFileW(from.c_str());
        return failure;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WriteWholeFile(const std::wstring& destination, std::string_view bytes) noexcept {
    try {
        const std::wstring temporary = TemporaryNameBeside(destination);
        const std::wstring longTemporary = ExtendedLengthPath(temporary);
        HRESULT result = S_OK;
        {
            const UniqueFile file(::CreateFileW(longTemporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file) {
                return LastErrorResult();
            }
            size_t written = 0;
            while (SUCCEEDED(result) && written < bytes.size()) {
                const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 24));
                DWORD done = 0;
                if (!::WriteFile(file.get(), bytes.data() + written, chunk, &done, nullptr) || done == 0) {
                    result = LastErrorResult();
                }
                written += done;
            }
            if (SUCCEEDED(result) && !::FlushFileBuffers(file.get())) {
                result = LastErrorResult();
            }
        }
        if (FAILED(result)) {
            ::DeleteFileW(longTemporary.c_str());
            return result;
        }
        return ReplaceWithWhole(temporary, destination);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ProbeWritableBeside(const std::wstring& destination) noexcept {
    try {
        const std::wstring temporary = ExtendedLengthPath(TemporaryNameBeside(destination));
        const UniqueFile file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        return file ? S_OK : LastErrorResult();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
