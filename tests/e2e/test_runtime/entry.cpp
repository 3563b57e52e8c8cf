// The test runtime's client library entry, the one export a runtime loader calls.
#include "platform/com_adopt.h"
#include "test_runtime/dispatcher.h"
#include "test_runtime/page_script.h"
#include "test_runtime/recent_documents_probe.h"
#include "test_runtime/runtime_log.h"
#include "test_runtime/runtime_mode.h"
#include "test_runtime/runtime_objects.h"
#include "test_runtime/runtime_protocol.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;
using namespace test_runtime;

namespace {

// Completions that reported failure so far in this process. The library exports no DllCanUnloadNow,
// so a loader keeps it loaded and the count survives a retry.
int g_failedCompletions = 0;

} // namespace

#define TEST_RUNTIME_EXPORT __declspec(dllexport)

// Accepts the request and completes it later through the caller's message loop; never calls the
// handler inside this call. The first call also starts the page script.
extern "C" TEST_RUNTIME_EXPORT HRESULT STDMETHODCALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    bool checkRunningInstance, int runtimeKind, PCWSTR userDataFolder, IUnknown* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) noexcept {
    try {
        Log("create-environment", {NumberField(checkRunningInstance), NumberField(runtimeKind),
                                   EscapeField(userDataFolder), NumberField(environmentOptions != nullptr)});
        InstallRecentDocumentsProbe();
        StartPageScript();
        if (Mode().refuseEnvironment) {
            Log("refuse-environment", {HresultField(kRefusedEnvironment)});
            return kRefusedEnvironment;
        }
        if (handler == nullptr) {
            return E_POINTER;
        }
        const bool fail = g_failedCompletions < Mode().failEnvironmentCompletions;
        if (fail) {
            ++g_failedCompletions;
        }
        ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> completed(handler);
        Post([completed, fail] {
            ComPtr<TestEnvironment> environment;
            HRESULT code = kFailedEnvironmentCompletion;
            if (!fail) {
                environment = AdoptComPtr(new TestEnvironment());
                code = S_OK;
            }
            Log("environment-completed", {HresultField(code)});
            completed->Invoke(code, environment.Get());
        });
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
