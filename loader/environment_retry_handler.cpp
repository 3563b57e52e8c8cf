#include "loader/environment_retry_handler.h"

#include "loader/environment_attempt.h"
#include "platform/com_adopt.h"

#include <new>

using Microsoft::WRL::ComPtr;

namespace {

std::optional<std::wstring> CopyText(PCWSTR text) {
    return text == nullptr ? std::nullopt : std::optional<std::wstring>(text);
}

PCWSTR TextOf(const std::optional<std::wstring>& text) noexcept {
    return text ? text->c_str() : nullptr;
}

} // namespace

EnvironmentCompletedRetryHandler::EnvironmentCompletedRetryHandler(
    const LoaderSettings& settings, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* hostHandler)
    : browserExecutableFolder_(CopyText(settings.browserExecutableFolder)),
      userDataFolder_(CopyText(settings.userDataFolder)), environmentOptions_(settings.environmentOptions),
      settings_(settings), hostHandler_(hostHandler) {
    settings_.browserExecutableFolder = TextOf(browserExecutableFolder_);
    settings_.userDataFolder = TextOf(userDataFolder_);
    settings_.environmentOptions = environmentOptions_.Get();
}

HRESULT EnvironmentCompletedRetryHandler::Create(
    const LoaderSettings& settings, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* hostHandler,
    ComPtr<EnvironmentCompletedRetryHandler>& handler) noexcept {
    if (hostHandler == nullptr) {
        return E_POINTER;
    }
    try {
        // The new object starts with the one reference that `handler` now holds.
        handler = AdoptComPtr(new EnvironmentCompletedRetryHandler(settings, hostHandler));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDMETHODCALLTYPE EnvironmentCompletedRetryHandler::QueryInterface(REFIID iid,
                                                                           void** object) noexcept {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) ||
        IsEqualIID(iid, IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler)) {
        *object = static_cast<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE EnvironmentCompletedRetryHandler::AddRef() noexcept {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE EnvironmentCompletedRetryHandler::Release() noexcept {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

bool EnvironmentCompletedRetryHandler::TakeRetry() noexcept {
    int32_t budget = retryBudget_.load();
    while (budget > 0) {
        if (retryBudget_.compare_exchange_weak(budget, budget - 1)) {
            return true;
        }
    }
    return false;
}

HRESULT STDMETHODCALLTYPE EnvironmentCompletedRetryHandler::Invoke(
    HRESULT errorCode, ICoreWebView2Environment* createdEnvironment) noexcept {
    // The client library may drop its reference while the host's handler runs.
    const ComPtr<EnvironmentCompletedRetryHandler> keepAlive(this);

    if (FAILED(errorCode) && TakeRetry()) {
        const HRESULT hr = TryCreateEnvironment(settings_, this);
        if (FAILED(hr)) {
            hostHandler_->Invoke(hr, nullptr);
        }
        // Otherwise the client library accepted the new attempt and will invoke this handler again.
        return S_OK;
    }

    HRESULT code = errorCode;
    ComPtr<ICoreWebView2Environment> environment;
    if (createdEnvironment != nullptr) {
        code = createdEnvironment->QueryInterface(IID_ICoreWebView2Environment,
                                                  reinterpret_cast<void**>(environment.GetAddressOf()));
    }
    hostHandler_->Invoke(code, environment.Get());
    return S_OK;
}
