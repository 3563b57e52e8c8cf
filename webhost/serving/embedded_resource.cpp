#include "webhost/serving/embedded_resource.h"

std::optional<std::span<const unsigned char>> FindRcData(HMODULE module, WORD id) noexcept {
    if (module == nullptr) {
        module = ::GetModuleHandleW(nullptr);
    }
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (resource == nullptr) {
        return std::nullopt;
    }
    // Loaded resources belong to the module's image: there is nothing to free.
    HGLOBAL loaded = ::LoadResource(module, resource);
    if (loaded == nullptr) {
        return std::nullopt;
    }
    const DWORD size = ::SizeofResource(module, resource);
    const void* data = ::LockResource(loaded);
    if (data == nullptr && size != 0) {
        return std::nullopt;
    }
    return std::span<const unsigned char>(static_cast<const unsigned char*>(data), size);
}
