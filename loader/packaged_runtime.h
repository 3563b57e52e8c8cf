// A runtime installed as an app package.
#pragma once

#include <cstddef>
#include <string>

// Makes the channel's runtime package a dependency of the process (for the life of the process), then
// looks for it among the process's packages. True when the candidate is accepted; `dllPath` then
// holds its client library's path. Without the app-package functions nothing is found.
bool FindPackagedRuntime(size_t channel, std::wstring& dllPath) noexcept;
