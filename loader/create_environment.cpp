#include "loader/create_environment.h"

#include "loader/environment_attempt.h"
#include "loader/environment_retry_handler.h"
#include "loader/loader_options.h"
#include "loader/loader_overrides.h"

using Microsoft::WRL::ComPtr;

HRESULT CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder,
    ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) noexcept {
    if (environmentCreatedHandler == nullptr) {
        return E_POINTER;
    }

    LoaderSettings settings;
    settings.browserExecutableFolder = browserExecutableFolder;
    settings.userDataFolder = userDataFolder;
    settings.environmentOptions = environmentOptions;

    // Environment variables and policies are seen before the options object's channel properties, which
    // only fill what they left unset. The override texts live in `overrides` until this call returns.
    LoaderOverrideStorage overrides;
    settings.useEdgeView = ReadEdgeViewOption(settings.environmentOptions);
    ReadLoaderOverrides(settings, overrides);
    ReadOptionsChannelSettings(settings.environmentOptions, settings);

    // The retry handler keeps its own copy of the settings for the attempt it may make after this call
    // has returned. Without it no completion could ever reach the host, so nothing is attempted.
    ComPtr<EnvironmentCompletedRetryHandler> retryHandler;
    HRESULT hr = EnvironmentCompletedRetryHandler::Create(settings, environmentCreatedHandler, retryHandler);
    if (FAILED(hr)) {
        return hr;
    }

    hr = TryCreateEnvironment(retryHandler->Settings(), retryHandler.Get());
    if (FAILED(hr)) {
        hr = TryCreateEnvironment(retryHandler->Settings(), retryHandler.Get());
    }
    // Leaving releases this call's reference; the client library holds its own when it accepted.
    return hr;
}
