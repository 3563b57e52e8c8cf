// One attempt at creating the browser environment: find the client library, call it, report a failure.
#pragma once

#include "loader/loader_settings.h"
#include "platform/browser_abi.h"

// Finds the client library on the road that `settings` select (fixed folder or installed runtime) and
// hands it the request with `handler` as completion handler. A result of 0 or above means the library
// accepted the request and will invoke `handler` later. A failure is written to the debugger and, unless
// Edge-view mode is on, reported as the loader's error event.
HRESULT TryCreateEnvironment(const LoaderSettings& settings,
                             ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) noexcept;
