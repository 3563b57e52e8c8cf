// Reading one environment variable of the process without ever writing past the buffer.
#pragma once

#include <windows.h>

#include <string>

// The GetEnvironmentVariableW shape, so that tests can drive a variable that changes under the reader.
using GetEnvironmentVariableFn = DWORD(WINAPI*)(LPCWSTR name, LPWSTR buffer, DWORD size);

// True when the variable exists; `value` then holds its text, which may be empty. A variable that keeps
// growing between the size query and the read is read again with the larger size, a bounded number of
// times; one that never settles is treated as absent.
bool ReadEnvironmentVariable(PCWSTR name, std::wstring& value) noexcept;
bool ReadEnvironmentVariable(PCWSTR name, std::wstring& value, GetEnvironmentVariableFn read) noexcept;
