// Handing the environment request to the runtime's client library.
#pragma once

#include "platform/browser_abi.h"

#include <cstdint>

// Tells the client library how its runtime was found.
enum class RuntimeKind : int32_t {
    Installed = 0,   // found by the release-channel search
    FixedFolder = 1, // below the browser executable folder that the settings name
    EdgeView = 2,    // Edge-view mode, whichever road found the library
};

// Loads the client library at `dllPath` (a full path) and calls its export
// "CreateWebViewEnvironmentWithOptionsInternal" with `handler` as the completion handler. Returns the
// export's result, or the load or look-up failure (with a debugger message). A library that exports
// "DllCanUnloadNow" is released again afterwards; any other stays loaded for the life of the process,
// because nothing would tell when the objects it handed out are gone.
HRESULT CallClientDll(PCWSTR dllPath, RuntimeKind runtimeKind, PCWSTR userDataFolder,
                      IUnknown* environmentOptions,
                      ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) noexcept;
