#include "dev_web_view.h"

#include "wire_format.h"
#include "platform/browser_print_abi.h"
#include "platform/com_adopt.h"
#include "webhost/text/base64.h"

#include <objbase.h>

#include <algorithm>

#include <cwchar>
#include <new>

using Microsoft::WRL::ComPtr;

namespace {

// Event arguments of one page message: its JSON text, handed out as a fresh platform-allocated copy.
class DevWebMessageArgs : public ComObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    explicit DevWebMessageArgs(std::wstring json) noexcept
        : ComObject(IID_ICoreWebView2WebMessageReceivedEventArgs), json_(std::move(json)) {}

    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* source) override { return CopyOut(kSource, source); }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* json) override { return CopyOut(json_, json); }
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* text) override {
        if (text == nullptr) {
            return E_POINTER;
        }
        *text = nullptr;
        return E_NOTIMPL; // the program reads every message as JSON
    }

private:
    static constexpr wchar_t kSource[] = L"about:blank";

    static HRESULT CopyOut(std::wstring_view text, LPWSTR* out) noexcept {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = static_cast<LPWSTR>(::CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
        if (*out == nullptr) {
            return E_OUTOFMEMORY;
        }
        std::wmemcpy(*out, text.data(), text.size());
        (*out)[text.size()] = L'\0';
        return S_OK;
    }

    std::wstring json_;
};

template <typename Work> HRESULT Guarded(Work&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace

HRESULT STDMETHODCALLTYPE DevSettings::get_IsStatusBarEnabled(BOOL* value) {
    if (value == nullptr) {
        return E_POINTER;
    }
    *value = statusBarEnabled_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DevSettings::put_IsStatusBarEnabled(BOOL value) {
    statusBarEnabled_ = value;
    return Guarded(
        [&] { return session_->Record(JsonRecord("statusBar").Bool("enabled", value != FALSE).Finish()); });
}

DevWebView::DevWebView(std::shared_ptr<DevSession> session) noexcept : session_(std::move(session)) {
    session_->SetWebView(this);
}

DevWebView::~DevWebView() {
    session_->SetWebView(nullptr);
}

HRESULT STDMETHODCALLTYPE DevWebView::get_Settings(ICoreWebView2Settings** settings) {
    if (settings == nullptr) {
        return E_POINTER;
    }
    *settings = nullptr;
    if (!settings_) {
        settings_ = AdoptComPtr(new (std::nothrow) DevSettings(session_));
        if (!settings_) {
            return E_OUTOFMEMORY;
        }
    }
    ComPtr<ICoreWebView2Settings> copy = settings_;
    *settings = copy.Detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DevWebView::NavigateToString(LPCWSTR htmlContent) {
    if (htmlContent == nullptr) {
        return E_INVALIDARG;
    }
    return Guarded(
        [&] { return session_->Record(JsonRecord("navigate").String("html", htmlContent).Finish()); });
}

HRESULT STDMETHODCALLTYPE DevWebView::PostWebMessageAsJson(LPCWSTR webMessageAsJson) {
    if (webMessageAsJson == nullptr) {
        return E_INVALIDARG;
    }
    return Guarded(
        [&] { return session_->Record(JsonRecord("postJson").String("json", webMessageAsJson).Finish()); });
}

HRESULT STDMETHODCALLTYPE DevWebView::PostWebMessageAsString(LPCWSTR webMessageAsString) {
    if (webMessageAsString == nullptr) {
        return E_INVALIDARG;
    }
    // A string message reaches the page as that string: its JSON form travels like any other message.
    return Guarded([&] {
        std::string quoted;
        AppendJsonString(quoted, webMessageAsString);
        return session_->Record(JsonRecord("postJson").String("json", FromUtf8(quoted)).Finish());
    });
}

HRESULT STDMETHODCALLTYPE DevWebView::add_WebMessageReceived(
    ICoreWebView2WebMessageReceivedEventHandler* handler, EventRegistrationToken* token) {
    if (handler == nullptr || token == nullptr) {
        return E_INVALIDARG;
    }
    return Guarded([&] {
        subscriptions_.push_back({nextToken_, handler});
        token->value = nextToken_++;
        session_->Record(JsonRecord("subscribed").Number("token", token->value).Finish());
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE DevWebView::remove_WebMessageReceived(EventRegistrationToken token) {
    std::erase_if(subscriptions_, [&](const Subscription& s) { return s.token == token.value; });
    return S_OK;
}

void DevWebView::DeliverWebMessage(const std::wstring& json) noexcept {
    try {
        // A handler may release the program's last reference to this view.
        const ComPtr<ICoreWebView2> keepAlive(this);
        // Handlers may subscribe or unsubscribe while being called: call the ones present now, each
        // kept alive for its call.
        const std::vector<Subscription> current = subscriptions_;
        for (const Subscription& subscription : current) {
            ComPtr<DevWebMessageArgs> args;
            args = AdoptComPtr(new DevWebMessageArgs(json));
            const HRESULT result = subscription.handler->Invoke(this, args.Get());
            session_->Record(JsonRecord("delivered")
                                 .String("json", json)
                                 .Number("result", result)
                                 .Bool("uiThread", session_->Dispatcher().IsDispatchingThread())
                                 .Finish());
        }
    } catch (...) {
        // Out of memory: this message is lost, like any page message that cannot be handed over.
    }
}

HRESULT STDMETHODCALLTYPE DevWebView::PrintToPdf(LPCWSTR resultFilePath, BrowserOpaque* /*printSettings*/,
                                                 BrowserOpaque* handler) {
    if (resultFilePath == nullptr || *resultFilePath == L'\0') {
        return E_INVALIDARG;
    }
    return Guarded([&] {
        const long long id = nextPrint_++;
        printHandlers_.emplace_back(id, handler);
        return session_->Record(
            JsonRecord("printToPdf").Number("id", id).String("path", resultFilePath).Finish());
    });
}

void DevWebView::FinishPrintToPdf(long long id, bool written) noexcept {
    const auto found = std::find_if(printHandlers_.begin(), printHandlers_.end(),
                                    [id](const auto& entry) { return entry.first == id; });
    if (found == printHandlers_.end()) {
        return;
    }
    const ComPtr<IUnknown> handler = std::move(found->second);
    printHandlers_.erase(found);
    ComPtr<ICoreWebView2PrintToPdfCompletedHandler> completed;
    if (handler && SUCCEEDED(handler->QueryInterface(IID_ICoreWebView2PrintToPdfCompletedHandler,
                                                     reinterpret_cast<void**>(completed.GetAddressOf())))) {
        completed->Invoke(written ? S_OK : E_FAIL, written ? TRUE : FALSE);
    }
}

HRESULT STDMETHODCALLTYPE DevWebView::Navigate(LPCWSTR uri) {
    if (uri == nullptr) {
        return E_INVALIDARG;
    }
    // Like the real runtime: the navigation starts after this call has returned, with NavigationStarting
    // first; only when no handler cancels it does Chromium go there.
    return Guarded([&] {
        const ComPtr<DevWebView> self(this);
        const std::wstring target = uri;
        return session_->Dispatcher().Post([self, target] {
            try {
                if (!self->RaiseNavigationStarting(target, true)) {
                    self->session_->Record(JsonRecord("navigate").String("uri", target).Finish());
                }
            } catch (...) {
                // Out of memory: the navigation does not happen, as if it had failed.
            }
        });
    });
}

void DevWebView::StartNavigation(long long id, bool userInitiated, const std::wstring& uri) noexcept {
    try {
        const bool cancel = RaiseNavigationStarting(uri, userInitiated);
        session_->Record(JsonRecord("navigationResult").Number("id", id).Bool("cancel", cancel).Finish());
    } catch (...) {
        // Out of memory: the driver's request stays unanswered and the navigation never happens.
    }
}

void DevWebView::StartReload(long long id, const std::wstring& uri) noexcept {
    try {
        const bool cancel = RaiseNavigationStarting(uri, true, kNavigationKindReload);
        session_->Record(JsonRecord("navigationResult").Number("id", id).Bool("cancel", cancel).Finish());
    } catch (...) {
        // Out of memory: as above.
    }
}

void DevWebView::StartDownload(long long id, const std::wstring& suggestedName,
                               const std::wstring& uri) noexcept {
    try {
        // The runtime's default: the user's download folder and the name the page suggested.
        wchar_t profile[MAX_PATH] = {};
        const DWORD length = ::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
        const std::wstring folder = length > 0 && length < MAX_PATH ? std::wstring(profile, length) : L"C:";
        const auto args = RaiseDownloadStarting(uri, folder + L"\\Downloads\\" + suggestedName);
        session_->Record(JsonRecord("downloadResult")
                             .Number("id", id)
                             .Bool("cancel", args->cancel != FALSE)
                             .String("resultFilePath", args->resultFilePath)
                             .Finish());
    } catch (...) {
        // Out of memory: as above.
    }
}

void DevWebView::RequestNewWindow(long long id, bool userInitiated, const std::wstring& uri) noexcept {
    try {
        const auto args = RaiseNewWindowRequested(uri, userInitiated);
        const bool handled = args->handled != FALSE || args->newWindow != nullptr;
        session_->Record(JsonRecord("newWindowResult").Number("id", id).Bool("handled", handled).Finish());
    } catch (...) {
        // Out of memory: as above.
    }
}

void DevWebView::RequestResource(long long id, const std::wstring& method, const std::wstring& range,
                                 const std::wstring& uri) noexcept {
    try {
        // Answered once the program's handlers have returned and any deferral they took has completed.
        const std::shared_ptr<DevSession> session = session_;
        RaiseResourceRequest(
            uri, method, range, [session, id](ResourceOutcome, ComPtr<stand_in::StandInResponse> answer) {
                JsonRecord record("resourceResponse");
                record.Number("id", id);
                std::string body;
                if (answer) {
                    const stand_in::StandInResponse* response = answer.Get();
                    if (response->content && FAILED(stand_in::ReadWhole(response->content.Get(), body))) {
                        answer.Reset();
                    } else {
                        record.Bool("answered", true)
                            .Number("status", response->status)
                            .String("reason", response->reason)
                            .String("headers", response->headers);
                    }
                }
                if (!answer) {
                    record.Bool("answered", false);
                } else {
                    const std::string encoded =
                        Base64Encode(reinterpret_cast<const unsigned char*>(body.data()), body.size());
                    record.String("body", std::wstring(encoded.begin(), encoded.end()));
                }
                session->Record(record.Finish());
            });
    } catch (...) {
        // Out of memory: the driver's request stays unanswered, and Chromium's request with it.
    }
}
