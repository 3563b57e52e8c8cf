// The objects a browser runtime hands to the program's handlers of navigation starts, new-window
// requests, web-resource requests, downloads and context menus, the responses it makes for the program, its
// request filters, and reading a response body as the real runtime does. Shared by the two stand-in runtimes
// (the test runtime and the development runtime), which differ only in what they do with the answers.
#pragma once

#include "platform/com_adopt.h"
#include "platform/unique_handle.h"
#include "support/com_stubs.h"

#include <wrl/client.h>

#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace stand_in {

using Microsoft::WRL::ComPtr;

// A string handed to the program, which frees it with CoTaskMemFree.
inline HRESULT CopyOut(const std::wstring& text, LPWSTR* out) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(::CoTaskMemAlloc(bytes));
    if (*out == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(*out, text.c_str(), bytes);
    return S_OK;
}

// A request's headers: only Range, when the page asked for one.
class RangeRequestHeaders final : public ComObject<ICoreWebView2HttpRequestHeaders> {
public:
    explicit RangeRequestHeaders(std::wstring range) noexcept
        : ComObject(IID_ICoreWebView2HttpRequestHeaders), range_(std::move(range)) {}
    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override {
        if (value != nullptr) {
            *value = nullptr;
        }
        if (name == nullptr || range_.empty() || ::lstrcmpiW(name, L"Range") != 0) {
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        }
        return CopyOut(range_, value);
    }
    HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR, BrowserOpaque**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* contains) override {
        if (contains == nullptr) {
            return E_POINTER;
        }
        *contains = name != nullptr && !range_.empty() && ::lstrcmpiW(name, L"Range") == 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIterator(BrowserOpaque**) override { return E_NOTIMPL; }

private:
    const std::wstring range_;
};

class StandInRequest final : public ComObject<ICoreWebView2WebResourceRequest> {
public:
    StandInRequest(std::wstring uri, std::wstring method, std::wstring range) noexcept
        : ComObject(IID_ICoreWebView2WebResourceRequest), uri_(std::move(uri)), method_(std::move(method)),
          range_(std::move(range)) {}
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CopyOut(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) override { return CopyOut(method_, method); }
    HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override {
        if (content == nullptr) {
            return E_POINTER;
        }
        *content = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Content(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) override {
        if (headers == nullptr) {
            return E_POINTER;
        }
        *headers = new (std::nothrow) RangeRequestHeaders(range_);
        return *headers == nullptr ? E_OUTOFMEMORY : S_OK;
    }

private:
    const std::wstring uri_;
    const std::wstring method_;
    const std::wstring range_;
};

// A request's arguments. As with the real runtime, the request waits until every handler has
// returned and every deferral taken from it has completed; then `settled` runs, once. A deferral
// completes exactly once, on the thread that raised the request (the user-interface thread): a second
// Complete, or one from another thread, is refused and the request stays unanswered.
class StandInResourceArgs final : public ComObject<ICoreWebView2WebResourceRequestedEventArgs> {
public:
    using Settled = std::function<void(StandInResourceArgs& args)>;
    StandInResourceArgs(ComPtr<ICoreWebView2WebResourceRequest> request, Settled settled) noexcept
        : ComObject(IID_ICoreWebView2WebResourceRequestedEventArgs), request_(std::move(request)),
          settled_(std::move(settled)) {}

    // The handlers have all returned.
    void HandlersReturned() {
        handlersReturned_ = true;
        SettleWhenDone();
    }

    [[nodiscard]] DWORD thread() const noexcept { return thread_; }

    void DeferralCompleted() {
        --pendingDeferrals_;
        SettleWhenDone();
    }
    HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) override {
        return request_.CopyTo(request);
    }
    HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) override {
        return response_.CopyTo(response);
    }
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override {
        response_ = response;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override;
    HRESULT STDMETHODCALLTYPE get_ResourceContext(int* context) override {
        if (context == nullptr) {
            return E_POINTER;
        }
        *context = 0;
        return S_OK;
    }

    ComPtr<ICoreWebView2WebResourceResponse> response_;

private:
    void SettleWhenDone() {
        if (handlersReturned_ && pendingDeferrals_ == 0 && settled_) {
            const Settled settled = std::move(settled_);
            settled_ = nullptr;
            settled(*this);
        }
    }

    const ComPtr<ICoreWebView2WebResourceRequest> request_;
    Settled settled_;
    const DWORD thread_ = ::GetCurrentThreadId();
    bool handlersReturned_ = false;
    int pendingDeferrals_ = 0;
};

class StandInDeferral final : public ComObject<ICoreWebView2Deferral> {
public:
    explicit StandInDeferral(ComPtr<StandInResourceArgs> args) noexcept
        : ComObject(IID_ICoreWebView2Deferral), args_(std::move(args)) {}
    HRESULT STDMETHODCALLTYPE Complete() override {
        if (!args_ || ::GetCurrentThreadId() != args_->thread()) {
            return args_ ? RPC_E_WRONG_THREAD : E_UNEXPECTED;
        }
        const ComPtr<StandInResourceArgs> args = std::move(args_);
        try {
            args->DeferralCompleted();
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    ComPtr<StandInResourceArgs> args_; // null once completed
};

inline HRESULT STDMETHODCALLTYPE StandInResourceArgs::GetDeferral(ICoreWebView2Deferral** deferral) {
    if (deferral == nullptr) {
        return E_POINTER;
    }
    *deferral = new (std::nothrow) StandInDeferral(ComPtr<StandInResourceArgs>(this));
    if (*deferral == nullptr) {
        return E_OUTOFMEMORY;
    }
    ++pendingDeferrals_;
    return S_OK;
}

// Also answers the third version, which says what kind of navigation it is (a link's, a reload).
class StandInNavigationArgs final : public ComObject<ICoreWebView2NavigationStartingEventArgs3> {
public:
    StandInNavigationArgs(std::wstring uri, bool userInitiated, UINT64 id,
                          int kind = kNavigationKindNewDocument) noexcept
        : ComObject(IID_ICoreWebView2NavigationStartingEventArgs), uri_(std::move(uri)),
          userInitiated_(userInitiated), id_(id), kind_(kind) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && (IsEqualIID(riid, IID_ICoreWebView2NavigationStartingEventArgs2) ||
                                  IsEqualIID(riid, IID_ICoreWebView2NavigationStartingEventArgs3))) {
            *object = static_cast<ICoreWebView2NavigationStartingEventArgs3*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CopyOut(uri_, uri); }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override { return Out(value, userInitiated_); }
    HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* value) override { return Out(value, FALSE); }
    HRESULT STDMETHODCALLTYPE get_RequestHeaders(BrowserOpaque** headers) override {
        if (headers != nullptr) {
            *headers = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* value) override { return Out(value, cancel); }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL value) override {
        cancel = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* id) override {
        if (id == nullptr) {
            return E_POINTER;
        }
        *id = id_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AdditionalAllowedFrameAncestors(LPWSTR* value) override {
        return CopyOut(L"", value);
    }
    HRESULT STDMETHODCALLTYPE put_AdditionalAllowedFrameAncestors(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NavigationKind(int* kind) override {
        if (kind == nullptr) {
            return E_POINTER;
        }
        *kind = kind_;
        return S_OK;
    }

    BOOL cancel = FALSE;

private:
    static HRESULT Out(BOOL* out, BOOL value) noexcept {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = value;
        return S_OK;
    }
    const std::wstring uri_;
    const BOOL userInitiated_;
    const UINT64 id_;
    const int kind_;
};

// A download the page starts: only its address and the runtime's default path are known. The runtime says
// nothing about whether the user asked for it.
class StandInDownloadOperation final : public ComObject<ICoreWebView2DownloadOperation> {
public:
    explicit StandInDownloadOperation(std::wstring uri) noexcept
        : ComObject(IID_ICoreWebView2DownloadOperation), uri_(std::move(uri)) {}
    HRESULT STDMETHODCALLTYPE add_BytesReceivedChanged(BrowserOpaque*, EventRegistrationToken*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE remove_BytesReceivedChanged(EventRegistrationToken) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE add_EstimatedEndTimeChanged(BrowserOpaque*, EventRegistrationToken*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE remove_EstimatedEndTimeChanged(EventRegistrationToken) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE add_StateChanged(BrowserOpaque*, EventRegistrationToken*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE remove_StateChanged(EventRegistrationToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CopyOut(uri_, uri); }
    HRESULT STDMETHODCALLTYPE get_ContentDisposition(LPWSTR* value) override { return CopyOut(L"", value); }
    HRESULT STDMETHODCALLTYPE get_MimeType(LPWSTR* value) override { return CopyOut(L"", value); }

private:
    const std::wstring uri_;
};

// Deferrals are not offered: the handler's answer is read when it returns.
class StandInDownloadArgs final : public ComObject<ICoreWebView2DownloadStartingEventArgs> {
public:
    StandInDownloadArgs(std::wstring uri, std::wstring resultFilePath) noexcept
        : ComObject(IID_ICoreWebView2DownloadStartingEventArgs), resultFilePath(std::move(resultFilePath)),
          operation_(AdoptComPtr(new (std::nothrow) StandInDownloadOperation(std::move(uri)))) {}
    HRESULT STDMETHODCALLTYPE get_DownloadOperation(ICoreWebView2DownloadOperation** operation) override {
        return operation_.CopyTo(operation);
    }
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* value) override { return Out(value, cancel); }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL value) override {
        cancel = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ResultFilePath(LPWSTR* path) override {
        return CopyOut(resultFilePath, path);
    }
    HRESULT STDMETHODCALLTYPE put_ResultFilePath(LPCWSTR path) override {
        resultFilePath = path == nullptr ? L"" : path;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) override { return Out(value, handled); }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override {
        handled = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        if (deferral != nullptr) {
            *deferral = nullptr;
        }
        return E_NOTIMPL;
    }

    BOOL cancel = FALSE;
    BOOL handled = FALSE;
    std::wstring resultFilePath;

private:
    static HRESULT Out(BOOL* out, BOOL value) noexcept {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = value;
        return S_OK;
    }
    const ComPtr<ICoreWebView2DownloadOperation> operation_;
};

// One item of the context menu: its unlocalized name and whether it is a separator.
class StandInMenuItem final : public ComObject<ICoreWebView2ContextMenuItem> {
public:
    StandInMenuItem(std::wstring name, int kind) noexcept
        : ComObject(IID_ICoreWebView2ContextMenuItem), name(std::move(name)), kind_(kind) {}
    HRESULT STDMETHODCALLTYPE get_Name(LPWSTR* value) override { return CopyOut(name, value); }
    HRESULT STDMETHODCALLTYPE get_Label(LPWSTR* value) override { return CopyOut(name, value); }
    HRESULT STDMETHODCALLTYPE get_CommandId(INT32* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ShortcutKeyDescription(LPWSTR* value) override {
        return CopyOut(L"", value);
    }
    HRESULT STDMETHODCALLTYPE get_Icon(IStream** icon) override {
        if (icon != nullptr) {
            *icon = nullptr;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Kind(int* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = kind_;
        return S_OK;
    }

    const std::wstring name;

private:
    const int kind_;
};

class StandInMenuItems final : public ComObject<ICoreWebView2ContextMenuItemCollection> {
public:
    StandInMenuItems() noexcept : ComObject(IID_ICoreWebView2ContextMenuItemCollection) {}
    HRESULT STDMETHODCALLTYPE get_Count(UINT32* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = static_cast<UINT32>(items.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetValueAtIndex(UINT32 index, ICoreWebView2ContextMenuItem** item) override {
        if (item == nullptr) {
            return E_POINTER;
        }
        *item = nullptr;
        return index < items.size() ? items[index].CopyTo(item) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE RemoveValueAtIndex(UINT32 index) override {
        if (index >= items.size()) {
            return E_INVALIDARG;
        }
        items.erase(items.begin() + index);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InsertValueAtIndex(UINT32, ICoreWebView2ContextMenuItem*) override {
        return E_NOTIMPL; // the program never adds items
    }

    std::vector<ComPtr<ICoreWebView2ContextMenuItem>> items;
};

class StandInMenuArgs final : public ComObject<ICoreWebView2ContextMenuRequestedEventArgs> {
public:
    explicit StandInMenuArgs(ComPtr<StandInMenuItems> items) noexcept
        : ComObject(IID_ICoreWebView2ContextMenuRequestedEventArgs), items_(std::move(items)) {}
    HRESULT STDMETHODCALLTYPE get_MenuItems(ICoreWebView2ContextMenuItemCollection** items) override {
        if (items == nullptr) {
            return E_POINTER;
        }
        *items = items_.Get();
        items_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ContextMenuTarget(BrowserOpaque** target) override {
        if (target != nullptr) {
            *target = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Location(POINT* location) override {
        if (location == nullptr) {
            return E_POINTER;
        }
        *location = POINT{};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_SelectedCommandId(INT32) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_SelectedCommandId(INT32*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override {
        handled = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = handled;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        if (deferral != nullptr) {
            *deferral = nullptr;
        }
        return E_NOTIMPL;
    }

    BOOL handled = FALSE;

private:
    const ComPtr<StandInMenuItems> items_;
};

class StandInNewWindowArgs final : public ComObject<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    StandInNewWindowArgs(std::wstring uri, bool userInitiated) noexcept
        : ComObject(IID_ICoreWebView2NewWindowRequestedEventArgs), uri_(std::move(uri)),
          userInitiated_(userInitiated) {}
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CopyOut(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* window) override {
        newWindow = window;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** window) override {
        return newWindow.CopyTo(window);
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override {
        handled = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = handled;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = userInitiated_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) override {
        if (deferral != nullptr) {
            *deferral = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(BrowserOpaque** features) override {
        if (features != nullptr) {
            *features = nullptr;
        }
        return E_NOTIMPL;
    }

    BOOL handled = FALSE;
    ComPtr<ICoreWebView2> newWindow;

private:
    const std::wstring uri_;
    const BOOL userInitiated_;
};

// A response made by the environment for the program.
class StandInResponse final : public ComObject<ICoreWebView2WebResourceResponse> {
public:
    StandInResponse(IStream* content, int status, std::wstring reason, std::wstring headers) noexcept
        : ComObject(IID_ICoreWebView2WebResourceResponse), content(content), status(status),
          reason(std::move(reason)), headers(std::move(headers)) {}
    HRESULT STDMETHODCALLTYPE get_Content(IStream** out) override { return content.CopyTo(out); }
    HRESULT STDMETHODCALLTYPE put_Content(IStream* value) override {
        content = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders** out) override {
        if (out != nullptr) {
            *out = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_StatusCode(int* out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = status;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_StatusCode(int value) override {
        status = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* out) override { return CopyOut(reason, out); }
    HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR value) override {
        reason = value == nullptr ? L"" : value;
        return S_OK;
    }

    ComPtr<IStream> content;
    int status;
    std::wstring reason;
    std::wstring headers;
};

// Makes the response for CreateWebResourceResponse.
inline HRESULT MakeResponse(IStream* content, int status, LPCWSTR reason, LPCWSTR headers,
                            ICoreWebView2WebResourceResponse** response) noexcept {
    if (response == nullptr) {
        return E_POINTER;
    }
    try {
        *response = new StandInResponse(content, status, reason == nullptr ? L"" : reason,
                                        headers == nullptr ? L"" : headers);
        return S_OK;
    } catch (...) {
        *response = nullptr;
        return E_OUTOFMEMORY;
    }
}

// Whether `text` matches a request filter: "*" any run, "?" one character, "\\*" and "\\?" themselves,
// over the whole URI, as the real runtime matches them.
inline bool GlobMatches(std::wstring_view pattern, std::wstring_view text) noexcept {
    // Iterative matching with one backtrack point for the last "*".
    size_t p = 0;
    size_t t = 0;
    size_t starP = std::wstring_view::npos;
    size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starT = t;
            continue;
        }
        if (p < pattern.size()) {
            const bool escaped = pattern[p] == L'\\' && p + 1 < pattern.size() &&
                                 (pattern[p + 1] == L'*' || pattern[p + 1] == L'?');
            const wchar_t want = escaped ? pattern[p + 1] : pattern[p];
            if ((!escaped && want == L'?') || want == text[t]) {
                p += escaped ? 2 : 1;
                ++t;
                continue;
            }
        }
        if (starP == std::wstring_view::npos) {
            return false;
        }
        p = starP + 1;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

// The request filters of one web view.
class RequestFilters {
public:
    void Add(const std::wstring& pattern, int context) { filters_.push_back({pattern, context}); }
    bool Remove(const std::wstring& pattern, int context) {
        for (auto it = filters_.begin(); it != filters_.end(); ++it) {
            if (it->pattern == pattern && it->context == context) {
                filters_.erase(it);
                return true;
            }
        }
        return false;
    }
    [[nodiscard]] bool Matches(const std::wstring& uri) const {
        const std::wstring_view withoutFragment = std::wstring_view(uri).substr(0, uri.find(L'#'));
        for (const Filter& filter : filters_) {
            if (GlobMatches(filter.pattern, withoutFragment)) {
                return true;
            }
        }
        return false;
    }

private:
    struct Filter {
        std::wstring pattern;
        int context;
    };
    std::vector<Filter> filters_;
};

// The handlers of one event of a web view, with their registration tokens.
template <typename Handler> class HandlerList {
public:
    HRESULT Add(Handler* handler, EventRegistrationToken* token) noexcept {
        if (handler == nullptr || token == nullptr) {
            return E_INVALIDARG;
        }
        try {
            entries_.push_back({nextToken_, ComPtr<Handler>(handler)});
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        token->value = nextToken_++;
        return S_OK;
    }
    HRESULT Remove(EventRegistrationToken token) noexcept {
        std::erase_if(entries_, [&](const Entry& entry) { return entry.token == token.value; });
        return S_OK;
    }
    // The handlers present now; a handler may subscribe or unsubscribe while it is being called.
    [[nodiscard]] std::vector<ComPtr<Handler>> Current() const {
        std::vector<ComPtr<Handler>> handlers;
        for (const Entry& entry : entries_) {
            handlers.push_back(entry.handler);
        }
        return handlers;
    }

private:
    struct Entry {
        INT64 token;
        ComPtr<Handler> handler;
    };
    std::vector<Entry> entries_;
    INT64 nextToken_ = 1;
};

// A web view's navigation starts, new-window requests and web-resource requests, as a stand-in runtime
// raises them: the subscriptions, the request filters and the raising itself. The derived web view
// decides what follows from the program's answers.
class StandInWebView : public StubWebView {
public:
    HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                                     EventRegistrationToken* token) override {
        return Subscribed("navigation-starting", navigationHandlers_.Add(handler, token), token);
    }
    HRESULT STDMETHODCALLTYPE remove_NavigationStarting(EventRegistrationToken token) override {
        return navigationHandlers_.Remove(token);
    }
    HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                                     EventRegistrationToken* token) override {
        return Subscribed("new-window", newWindowHandlers_.Add(handler, token), token);
    }
    HRESULT STDMETHODCALLTYPE remove_NewWindowRequested(EventRegistrationToken token) override {
        return newWindowHandlers_.Remove(token);
    }
    HRESULT STDMETHODCALLTYPE add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* handler,
                                                       EventRegistrationToken* token) override {
        return Subscribed("resources", resourceHandlers_.Add(handler, token), token);
    }
    HRESULT STDMETHODCALLTYPE remove_WebResourceRequested(EventRegistrationToken token) override {
        return resourceHandlers_.Remove(token);
    }
    HRESULT STDMETHODCALLTYPE add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* handler,
                                                   EventRegistrationToken* token) override {
        return Subscribed("downloads", downloadHandlers_.Add(handler, token), token);
    }
    HRESULT STDMETHODCALLTYPE remove_DownloadStarting(EventRegistrationToken token) override {
        return downloadHandlers_.Remove(token);
    }
    HRESULT STDMETHODCALLTYPE add_ContextMenuRequested(ICoreWebView2ContextMenuRequestedEventHandler* handler,
                                                       EventRegistrationToken* token) override {
        return Subscribed("context-menu", menuHandlers_.Add(handler, token), token);
    }
    HRESULT STDMETHODCALLTYPE remove_ContextMenuRequested(EventRegistrationToken token) override {
        return menuHandlers_.Remove(token);
    }
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(LPCWSTR uri, int context) override {
        if (uri == nullptr) {
            return E_INVALIDARG;
        }
        try {
            filters_.Add(uri, context);
            FilterAdded(uri, context);
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(LPCWSTR uri, int context) override {
        if (uri == nullptr) {
            return E_INVALIDARG;
        }
        return filters_.Remove(uri, context) ? S_OK : E_INVALIDARG;
    }

protected:
    enum class ResourceOutcome {
        Unfiltered, // no filter matched: the real runtime would send it to the network
        Unanswered, // no handler gave a response: likewise
        Answered,
    };

    // For a runtime that records them: each subscription and filter.
    virtual void SubscriptionAdded(const char* /*event*/, INT64 /*token*/) {}
    virtual void FilterAdded(const std::wstring& /*pattern*/, int /*context*/) {}

    // True when a handler cancelled the navigation.
    bool RaiseNavigationStarting(const std::wstring& uri, bool userInitiated,
                                 int kind = kNavigationKindNewDocument) {
        const ComPtr<ICoreWebView2> keepAlive(this);
        const ComPtr<StandInNavigationArgs> args =
            AdoptComPtr(new StandInNavigationArgs(uri, userInitiated, nextNavigationId_++, kind));
        for (const auto& handler : navigationHandlers_.Current()) {
            handler->Invoke(this, args.Get());
        }
        return args->cancel != FALSE;
    }

    // The request's arguments once every handler has seen it.
    ComPtr<StandInNewWindowArgs> RaiseNewWindowRequested(const std::wstring& uri, bool userInitiated) {
        const ComPtr<ICoreWebView2> keepAlive(this);
        const ComPtr<StandInNewWindowArgs> args = AdoptComPtr(new StandInNewWindowArgs(uri, userInitiated));
        for (const auto& handler : newWindowHandlers_.Current()) {
            handler->Invoke(this, args.Get());
        }
        return args;
    }

    // The download's arguments once every handler has seen it.
    ComPtr<StandInDownloadArgs> RaiseDownloadStarting(const std::wstring& uri,
                                                      const std::wstring& resultFilePath) {
        const ComPtr<ICoreWebView2> keepAlive(this);
        const ComPtr<StandInDownloadArgs> args = AdoptComPtr(new StandInDownloadArgs(uri, resultFilePath));
        for (const auto& handler : downloadHandlers_.Current()) {
            handler->Invoke(this, args.Get());
        }
        return args;
    }

    // The menu of `names` ("-" for a separator) once every handler has seen it: the names it still
    // shows, or nothing when a handler took it over (Handled).
    std::vector<std::wstring> RaiseContextMenuRequested(const std::vector<std::wstring>& names) {
        const ComPtr<ICoreWebView2> keepAlive(this);
        const ComPtr<StandInMenuItems> items = AdoptComPtr(new StandInMenuItems());
        for (const std::wstring& name : names) {
            const bool separator = name == L"-";
            items->items.push_back(AdoptComPtr<ICoreWebView2ContextMenuItem>(
                new StandInMenuItem(separator ? L"other" : name, separator ? kContextMenuItemSeparator : 0)));
        }
        const ComPtr<StandInMenuArgs> args = AdoptComPtr(new StandInMenuArgs(items));
        for (const auto& handler : menuHandlers_.Current()) {
            handler->Invoke(this, args.Get());
        }
        std::vector<std::wstring> shown;
        if (args->handled == FALSE) {
            for (const auto& item : items->items) {
                const auto* standIn = static_cast<const StandInMenuItem*>(item.Get());
                shown.push_back(standIn->name == L"other" ? L"-" : standIn->name);
            }
        }
        return shown;
    }

    // Given what became of the request: the response when the outcome is Answered, else null.
    using ResourceSettled = std::function<void(ResourceOutcome, ComPtr<StandInResponse>)>;

    // `settled` runs once the handlers have returned and every deferral they took has completed:
    // within this call, or later inside the last Complete.
    void RaiseResourceRequest(const std::wstring& uri, const std::wstring& method, const std::wstring& range,
                              ResourceSettled settled) {
        if (!filters_.Matches(uri)) {
            settled(ResourceOutcome::Unfiltered, nullptr);
            return;
        }
        const ComPtr<ICoreWebView2> keepAlive(this);
        const ComPtr<ICoreWebView2WebResourceRequest> request =
            AdoptComPtr<ICoreWebView2WebResourceRequest>(new StandInRequest(uri, method, range));
        const ComPtr<StandInResourceArgs> args =
            AdoptComPtr(new StandInResourceArgs(request, [settled](StandInResourceArgs& done) {
                // Only the environment makes responses, and the stand-in environments make this kind.
                ComPtr<StandInResponse> response = static_cast<StandInResponse*>(done.response_.Get());
                done.response_.Reset();
                const ResourceOutcome outcome =
                    response ? ResourceOutcome::Answered : ResourceOutcome::Unanswered;
                settled(outcome, std::move(response));
            }));
        for (const auto& handler : resourceHandlers_.Current()) {
            handler->Invoke(this, args.Get());
        }
        args->HandlersReturned();
    }

private:
    HRESULT Subscribed(const char* event, HRESULT added, const EventRegistrationToken* token) {
        if (SUCCEEDED(added)) {
            SubscriptionAdded(event, token->value);
        }
        return added;
    }

    HandlerList<ICoreWebView2NavigationStartingEventHandler> navigationHandlers_;
    HandlerList<ICoreWebView2NewWindowRequestedEventHandler> newWindowHandlers_;
    HandlerList<ICoreWebView2WebResourceRequestedEventHandler> resourceHandlers_;
    HandlerList<ICoreWebView2DownloadStartingEventHandler> downloadHandlers_;
    HandlerList<ICoreWebView2ContextMenuRequestedEventHandler> menuHandlers_;
    RequestFilters filters_;
    UINT64 nextNavigationId_ = 1;
};

// How long a body may take to read; the real runtime reads every body on one worker thread, so a
// stream that blocks stalls all of them.
inline constexpr DWORD kStreamReadTimeoutMs = 10000;

// What the real runtime does with a response body: on a worker thread of its own, rewind the stream
// and read it to the end.
struct StreamRead {
    IStream* stream = nullptr;
    std::string bytes;
    HRESULT result = E_PENDING;
};

inline DWORD WINAPI ReadStreamOnWorker(void* parameter) noexcept {
    auto* read = static_cast<StreamRead*>(parameter);
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        LARGE_INTEGER start{};
        HRESULT hr = read->stream->Seek(start, STREAM_SEEK_SET, nullptr);
        char chunk[65536];
        while (SUCCEEDED(hr)) {
            ULONG got = 0;
            hr = read->stream->Read(chunk, sizeof(chunk), &got);
            if (FAILED(hr)) {
                break;
            }
            read->bytes.append(chunk, got);
            if (got == 0 || hr == S_FALSE) {
                hr = S_OK;
                break;
            }
        }
        read->result = hr;
    } catch (...) {
        read->result = E_OUTOFMEMORY;
    }
    ::CoUninitialize();
    return 0;
}

// Reads `stream` whole on a worker thread; a stream that does not finish within the timeout fails.
inline HRESULT ReadWhole(IStream* stream, std::string& bytes) {
    auto* read = new StreamRead();
    read->stream = stream;
    UniqueKernelHandle worker(::CreateThread(nullptr, 0, ReadStreamOnWorker, read, 0, nullptr));
    if (!worker) {
        delete read;
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    if (::WaitForSingleObject(worker.get(), kStreamReadTimeoutMs) != WAIT_OBJECT_0) {
        // A stream that blocks would stall every response of the real runtime. The stuck worker still
        // uses `read`, so it is left to it.
        return HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    }
    bytes = std::move(read->bytes);
    const HRESULT result = read->result;
    delete read;
    return result;
}

} // namespace stand_in
