// Taking ownership of a reference that is already counted (a freshly made object, an out-parameter
// filled by hand). ComPtr::Attach cannot be used for this portably: mingw-w64's WRL adds a reference
// in Attach, the platform's WRL does not, so the same code would leak on one and over-release on the
// other.
#pragma once

#include <wrl/client.h>

template <typename T> Microsoft::WRL::ComPtr<T> AdoptComPtr(T* alreadyCounted) noexcept {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.GetAddressOf() = alreadyCounted;
    return owner;
}
