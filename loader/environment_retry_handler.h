// The loader's own completion handler, placed between the client library and the host's handler so that
// one failed environment creation is tried once more.
#pragma once

#include "loader/loader_settings.h"
#include "platform/browser_abi.h"

#include <wrl/client.h>

#include <atomic>
#include <optional>
#include <string>

class EnvironmentCompletedRetryHandler final
    : public ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler {
public:
    // Copies `settings` with owned copies of both folder texts and a reference on the options object,
    // because the retry runs after the creation call that built them has returned. `hostHandler` must not
    // be null. E_OUTOFMEMORY when the copies cannot be made.
    static HRESULT Create(const LoaderSettings& settings,
                          ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* hostHandler,
                          Microsoft::WRL::ComPtr<EnvironmentCompletedRetryHandler>& handler) noexcept;

    EnvironmentCompletedRetryHandler(const EnvironmentCompletedRetryHandler&) = delete;
    EnvironmentCompletedRetryHandler& operator=(const EnvironmentCompletedRetryHandler&) = delete;

    // The settings of the creation; their texts and options object live as long as this handler.
    [[nodiscard]] const LoaderSettings& Settings() const noexcept { return settings_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // A failure code while the retry is unused starts one more attempt through this same handler; the host
    // hears of it only when that attempt fails at once. Anything else goes to the host's handler, with the
    // environment's ICoreWebView2Environment interface when one came. Always S_OK to the client library.
    HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode,
                                     ICoreWebView2Environment* createdEnvironment) noexcept override;

private:
    EnvironmentCompletedRetryHandler(const LoaderSettings& settings,
                                     ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* hostHandler);
    ~EnvironmentCompletedRetryHandler() = default;

    // Takes the one retry if it is still there.
    bool TakeRetry() noexcept;

    LONG references_ = 1;
    std::optional<std::wstring> browserExecutableFolder_;
    std::optional<std::wstring> userDataFolder_;
    Microsoft::WRL::ComPtr<IUnknown> environmentOptions_;
    LoaderSettings settings_; // points into the three members above
    Microsoft::WRL::ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> hostHandler_;
    std::atomic<int32_t> retryBudget_{1};
};
