// The options interface through which a host asks for Edge-view mode. Only its first method, a getter,
// is ever called.
#pragma once

#include <windows.h>
#include <unknwn.h>

inline constexpr IID IID_IEdgeViewEnvironmentOptions = {
    0x0EA2394C, 0x96E6, 0x4AE3, {0x8F, 0x9A, 0x84, 0x73, 0xAB, 0xEF, 0x37, 0x32}};

struct IEdgeViewEnvironmentOptions : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_UseEdgeView(INT32* value) = 0; // 3
};
