// The runtime loader's entry: creates the browser environment through the installed runtime's client
// library, with the environment variables, policies and options honoured.
#pragma once

#include "platform/browser_abi.h"

// browserExecutableFolder and userDataFolder may be null. A result of 0 or above means the runtime
// accepted the request and `environmentCreatedHandler` will be invoked later through the message loop;
// a negative result means no environment is coming and the handler is never invoked for this call.
HRESULT CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) noexcept;
