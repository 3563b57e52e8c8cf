// The control exports of the test runtimes' client libraries: a test scripts how the next requests are
// answered and reads back what the loader passed. Shared by the fake libraries and the tests.
#pragma once

#include <windows.h>
#include <unknwn.h>

// How one request to "CreateWebViewEnvironmentWithOptionsInternal" is answered.
struct FakeRuntimeStep {
    HRESULT acceptResult; // returned at once; a negative value refuses and nothing follows
    HRESULT completion;   // when accepted: the code the handler is invoked with later (an environment comes
                          // with a code of 0 or above)
};

// What one request carried.
struct FakeRuntimeCall {
    int firstArgument; // the bool, as 0 or 1
    int runtimeKind;
    BOOL userDataFolderPresent;
    wchar_t userDataFolder[MAX_PATH];
    IUnknown* environmentOptions;
    const void* handler; // identity only; may be null
};

// Every export of the stand-in libraries is a plain C name.
#define FAKE_RUNTIME_EXPORT extern "C" __declspec(dllexport)

// What the refusing libraries answer every request with: a code no system call produces.
#define FAKE_RUNTIME_REFUSAL static_cast<HRESULT>(0x80AB0001)

// The version text that the fake environment reports.
#define FAKE_RUNTIME_BROWSER_VERSION L"fake-runtime 120.0.1.2"

// Control exports (extern "C", looked up by name). Requests beyond the script are accepted and completed
// with S_OK.
using FakeRuntimeResetFn = void (*)(const FakeRuntimeStep* steps, int count);
using FakeRuntimeCallCountFn = int (*)();
using FakeRuntimeGetCallFn = BOOL (*)(int index, FakeRuntimeCall* call);
using FakeRuntimePendingCountFn = int (*)();
