// Careful reads of short registry texts. Every text must fit 260 UTF-16 units with its terminator, so
// at most 259 characters: a longer value counts as absent. Stored data need not carry a terminator,
// and data that fills the buffer exactly is never read past its end.
#pragma once

#include <windows.h>

#include <string>

inline constexpr size_t kRegistryTextCapacity = 260; // UTF-16 units, terminator included

// The text held by the first `byteCount` bytes of a buffer of kRegistryTextCapacity units: up to the
// first NUL, or all of it when there is none (some systems hand back unterminated data that fills the
// buffer exactly). False when that text leaves no room for a terminator.
bool TakeRegistryText(const wchar_t* buffer, DWORD byteCount, std::wstring& text) noexcept;

// RegQueryValueExW, whatever type the value is stored with. Found only when the query succeeds with
// more than 2 bytes (anything shorter is at most a lone terminator); the text ends at the first NUL.
bool QueryRegistryText(HKEY key, PCWSTR valueName, std::wstring& text) noexcept;

// RegGetValueW restricted to REG_SZ. Found whenever the read succeeds, also with an empty text.
bool GetRegistryStringValue(HKEY key, PCWSTR valueName, std::wstring& text) noexcept;

// RegGetValueW restricted to REG_DWORD.
bool GetRegistryDwordValue(HKEY key, PCWSTR valueName, DWORD& value) noexcept;
