#include "loader/runtime_candidate.h"

#include "loader/platform_seam.h"
#include "platform/unique_handle.h"

#include <new>

namespace {

// FILE_READ_DATA | FILE_EXECUTE | SYNCHRONIZE: what loading the library will need.
constexpr DWORD kClientDllAccess = 0x00100021;

} // namespace

bool CheckClientDll(std::wstring& path) noexcept {
    try {
        path += L'\\';
        path += kClientDllRelativePath;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const UniqueFile file(::CreateFileW(path.c_str(), kClientDllAccess,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        return true;
    }
    WriteDebuggerTextA("WebView2: skipped inaccessible ");
    WriteDebuggerTextW(path.c_str());
    WriteDebuggerTextA("\n");
    return false;
}

bool AcceptRuntimeCandidate(const RuntimeVersion& version, std::wstring& path) noexcept {
    if (!IsAtLeastMinimumRuntimeVersion(version)) {
        WriteDebuggerTextA("WebView2: skipped an incompatible version ");
        WriteDebuggerTextW(path.c_str());
        WriteDebuggerTextA("\n");
        return false;
    }
    return CheckClientDll(path);
}
