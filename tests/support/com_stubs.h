// Minimal COM implementations of the browser interfaces for tests and test runtimes: every method
// answers E_NOTIMPL until a test double overrides the few it cares about.
#pragma once

#include "platform/browser_abi.h"

#include <atomic>

template <typename Interface> class ComObject : public Interface {
public:
    explicit ComObject(const IID& iid) noexcept : iid_(iid) {}
    virtual ~ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid_)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    ULONG references() const noexcept { return references_; }

private:
    const IID iid_;
    std::atomic<ULONG> references_{1};
};

#define TM_STUB E_NOTIMPL
#define TM_NOTIMPL_EVENT(Name)                                                                               \
    HRESULT STDMETHODCALLTYPE add_##Name(BrowserOpaque*, EventRegistrationToken*) override {                 \
        return TM_STUB;                                                                                      \
    }                                                                                                        \
    HRESULT STDMETHODCALLTYPE remove_##Name(EventRegistrationToken) override {                               \
        return TM_STUB;                                                                                      \
    }

class StubSettings : public ComObject<ICoreWebView2Settings> {
public:
    StubSettings() noexcept : ComObject(IID_ICoreWebView2Settings) {}
    HRESULT STDMETHODCALLTYPE get_IsScriptEnabled(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_IsScriptEnabled(BOOL) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_IsWebMessageEnabled(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_AreDefaultScriptDialogsEnabled(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_AreDefaultScriptDialogsEnabled(BOOL) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL) override { return TM_STUB; }
};

// Answers every version of the web view up to the eleventh whose identifier the program knows.
class StubWebView : public ComObject<ICoreWebView2_11> {
public:
    StubWebView() noexcept : ComObject(IID_ICoreWebView2) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr &&
            (IsEqualIID(riid, IID_ICoreWebView2_2) || IsEqualIID(riid, IID_ICoreWebView2_3) ||
             IsEqualIID(riid, IID_ICoreWebView2_4) || IsEqualIID(riid, IID_ICoreWebView2_11))) {
            *object = static_cast<ICoreWebView2_11*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings**) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler*,
                                                     EventRegistrationToken*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE remove_NavigationStarting(EventRegistrationToken) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(ContentLoading)
    TM_NOTIMPL_EVENT(SourceChanged)
    TM_NOTIMPL_EVENT(HistoryChanged)
    TM_NOTIMPL_EVENT(NavigationCompleted)
    TM_NOTIMPL_EVENT(FrameNavigationStarting)
    TM_NOTIMPL_EVENT(FrameNavigationCompleted)
    TM_NOTIMPL_EVENT(ScriptDialogOpening)
    TM_NOTIMPL_EVENT(PermissionRequested)
    TM_NOTIMPL_EVENT(ProcessFailed)
    HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(LPCWSTR, BrowserOpaque*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR, BrowserOpaque*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE CapturePreview(int, IStream*, BrowserOpaque*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE Reload() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler*,
                                                     EventRegistrationToken*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(LPCWSTR, LPCWSTR, BrowserOpaque*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE GoBack() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE GoForward() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(LPCWSTR, BrowserOpaque**) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler*,
                                                     EventRegistrationToken*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE remove_NewWindowRequested(EventRegistrationToken) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(DocumentTitleChanged)
    HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR, VARIANT*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() override { return TM_STUB; }
    TM_NOTIMPL_EVENT(ContainsFullScreenElementChanged)
    HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler*,
                                                       EventRegistrationToken*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE remove_WebResourceRequested(EventRegistrationToken) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(LPCWSTR, int) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(LPCWSTR, int) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(WindowCloseRequested)
    // ICoreWebView2_2 … _11
    TM_NOTIMPL_EVENT(WebResourceResponseReceived)
    HRESULT STDMETHODCALLTYPE NavigateWithWebResourceRequest(BrowserOpaque*) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(DOMContentLoaded)
    HRESULT STDMETHODCALLTYPE get_CookieManager(BrowserOpaque**) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_Environment(ICoreWebView2Environment**) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE TrySuspend(BrowserOpaque*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE Resume() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_IsSuspended(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE SetVirtualHostNameToFolderMapping(LPCWSTR, LPCWSTR, int) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE ClearVirtualHostNameToFolderMapping(LPCWSTR) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(FrameCreated)
    HRESULT STDMETHODCALLTYPE add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler*,
                                                   EventRegistrationToken*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE remove_DownloadStarting(EventRegistrationToken) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(ClientCertificateRequested)
    HRESULT STDMETHODCALLTYPE OpenTaskManagerWindow() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE PrintToPdf(LPCWSTR, BrowserOpaque*, BrowserOpaque*) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(IsMutedChanged)
    HRESULT STDMETHODCALLTYPE get_IsMuted(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_IsMuted(BOOL) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(IsDocumentPlayingAudioChanged)
    HRESULT STDMETHODCALLTYPE get_IsDocumentPlayingAudio(BOOL*) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(IsDefaultDownloadDialogOpenChanged)
    HRESULT STDMETHODCALLTYPE get_IsDefaultDownloadDialogOpen(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE OpenDefaultDownloadDialog() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE CloseDefaultDownloadDialog() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_DefaultDownloadDialogCornerAlignment(int*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_DefaultDownloadDialogCornerAlignment(int) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_DefaultDownloadDialogMargin(POINT*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_DefaultDownloadDialogMargin(POINT) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(BasicAuthenticationRequested)
    HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethodForSession(LPCWSTR, LPCWSTR, LPCWSTR,
                                                                   BrowserOpaque*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE add_ContextMenuRequested(ICoreWebView2ContextMenuRequestedEventHandler*,
                                                       EventRegistrationToken*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE remove_ContextMenuRequested(EventRegistrationToken) override { return TM_STUB; }
};

class StubController : public ComObject<ICoreWebView2Controller> {
public:
    StubController() noexcept : ComObject(IID_ICoreWebView2Controller) {}
    HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_ZoomFactor(double*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_ZoomFactor(double) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(ZoomFactorChanged)
    HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT, double) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE MoveFocus(int) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(MoveFocusRequested)
    TM_NOTIMPL_EVENT(GotFocus)
    TM_NOTIMPL_EVENT(LostFocus)
    TM_NOTIMPL_EVENT(AcceleratorKeyPressed)
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE Close() override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2**) override { return TM_STUB; }
};

class StubEnvironment : public ComObject<ICoreWebView2Environment> {
public:
    StubEnvironment() noexcept : ComObject(IID_ICoreWebView2Environment) {}
    HRESULT STDMETHODCALLTYPE
    CreateCoreWebView2Controller(HWND, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream*, int, LPCWSTR, LPCWSTR,
                                                        ICoreWebView2WebResourceResponse**) override {
        return TM_STUB;
    }
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR*) override { return TM_STUB; }
    TM_NOTIMPL_EVENT(NewBrowserVersionAvailable)
};

class StubEnvironmentOptions : public ComObject<ICoreWebView2EnvironmentOptions> {
public:
    StubEnvironmentOptions() noexcept : ComObject(IID_ICoreWebView2EnvironmentOptions) {}
    HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_Language(LPWSTR*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL*) override { return TM_STUB; }
    HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL) override { return TM_STUB; }
};

#undef TM_NOTIMPL_EVENT
#undef TM_STUB
