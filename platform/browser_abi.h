// The browser control's COM interfaces, declared by hand from their binary layout: interface
// identifiers and the exact order of virtual-table slots. Most interfaces derive directly from
// IUnknown, so their first method is slot 3. Twelve derive from an earlier version of themselves and
// continue its numbering: ICoreWebView2_2 to ICoreWebView2_11 (each from the one before, the first
// from ICoreWebView2, so ICoreWebView2_2 begins at slot 61) and the navigation-starting arguments 2
// and 3 (from the arguments, at slots 10 and 12). Each slot carries its number in a comment.
//
// Every slot up to the last one the program (or its test runtimes) calls is declared, in order,
// because skipping one would shift every later slot; unused slots carry placeholder parameter types.
// Three interfaces are declared only that far and have more slots in the runtime: the settings (up to
// slot 10 of 20), the download operation (up to 11 of 21) and the context-menu item (up to 8 of 15).
// A later slot of one of them is added after its last declared one, together with every slot between,
// in the order of the runtime's published definition; a later version of an interface is a new struct
// deriving from the version before. No virtual destructors and no overloads here: both would
// change the table.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <eventtoken.h>

// The handler and event-argument types that the program never calls are only passed through as
// opaque pointers in placeholder slots.
using BrowserOpaque = IUnknown;

inline constexpr IID IID_ICoreWebView2 = {
    0x76ECEACB, 0x0462, 0x4D94, {0xAC, 0x83, 0x42, 0x3A, 0x67, 0x93, 0x77, 0x5E}};
inline constexpr IID IID_ICoreWebView2Controller = {
    0x4D00C0D1, 0x9434, 0x4EB6, {0x80, 0x78, 0x86, 0x97, 0xA5, 0x60, 0x33, 0x4F}};
inline constexpr IID IID_ICoreWebView2Environment = {
    0xB96D755E, 0x0319, 0x4E92, {0xA2, 0x96, 0x23, 0x43, 0x6F, 0x46, 0xA1, 0xFC}};
inline constexpr IID IID_ICoreWebView2Settings = {
    0xE562E4F0, 0xD7FA, 0x43AC, {0x8D, 0x71, 0xC0, 0x51, 0x50, 0x49, 0x9F, 0x00}};
inline constexpr IID IID_ICoreWebView2WebMessageReceivedEventArgs = {
    0x0F99A40C, 0xE962, 0x4207, {0x9E, 0x92, 0xE3, 0xD5, 0x42, 0xEF, 0xF8, 0x49}};
inline constexpr IID IID_ICoreWebView2EnvironmentOptions = {
    0x2FDE08A8, 0x1E9A, 0x4766, {0x8C, 0x05, 0x95, 0xA9, 0xCE, 0xB9, 0xD1, 0xC5}};
inline constexpr IID IID_ICoreWebView2EnvironmentOptions7 = {
    0xC48D539F, 0xE39F, 0x441C, {0xAE, 0x68, 0x1F, 0x66, 0xE5, 0x70, 0xBD, 0xC5}};
inline constexpr IID IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler = {
    0x4E8A3389, 0xC9D8, 0x4BD2, {0xB6, 0xB5, 0x12, 0x4F, 0xEE, 0x6C, 0xC1, 0x4D}};
inline constexpr IID IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler = {
    0x6C4819F3, 0xC9B7, 0x4260, {0x81, 0x27, 0xC9, 0xF5, 0xBD, 0xE7, 0xF6, 0x8C}};
inline constexpr IID IID_ICoreWebView2WebMessageReceivedEventHandler = {
    0x57213F19, 0x00E6, 0x49FA, {0x8E, 0x07, 0x89, 0x8E, 0xA0, 0x1E, 0xCB, 0xD2}};

struct ICoreWebView2;
struct ICoreWebView2Controller;
struct ICoreWebView2Environment;
struct ICoreWebView2Settings;
struct ICoreWebView2WebMessageReceivedEventArgs;
struct ICoreWebView2NavigationStartingEventHandler;
struct ICoreWebView2NewWindowRequestedEventHandler;
struct ICoreWebView2WebResourceRequestedEventHandler;
struct ICoreWebView2WebResourceResponse;

struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, ICoreWebView2Environment* result) = 0;
};

struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, ICoreWebView2Controller* result) = 0;
};

struct ICoreWebView2WebMessageReceivedEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                             ICoreWebView2WebMessageReceivedEventArgs* args) = 0;
};

struct ICoreWebView2Settings : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_IsScriptEnabled(BOOL* value) = 0;                // 3
    virtual HRESULT STDMETHODCALLTYPE put_IsScriptEnabled(BOOL value) = 0;                 // 4
    virtual HRESULT STDMETHODCALLTYPE get_IsWebMessageEnabled(BOOL* value) = 0;            // 5
    virtual HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL value) = 0;             // 6
    virtual HRESULT STDMETHODCALLTYPE get_AreDefaultScriptDialogsEnabled(BOOL* value) = 0; // 7
    virtual HRESULT STDMETHODCALLTYPE put_AreDefaultScriptDialogsEnabled(BOOL value) = 0;  // 8
    virtual HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL* value) = 0;             // 9
    virtual HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL value) = 0;              // 10
};

struct ICoreWebView2WebMessageReceivedEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* source) = 0;                           // 3
    virtual HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* webMessageAsJson) = 0;       // 4
    virtual HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* webMessageAsString) = 0; // 5
};

struct ICoreWebView2 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) = 0;                        // 4
    virtual HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) = 0;                          // 5
    virtual HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR htmlContent) = 0;          // 6
    virtual HRESULT STDMETHODCALLTYPE
    add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                           EventRegistrationToken* token) = 0;                                         // 7
    virtual HRESULT STDMETHODCALLTYPE remove_NavigationStarting(EventRegistrationToken) = 0;           // 8
    virtual HRESULT STDMETHODCALLTYPE add_ContentLoading(BrowserOpaque*, EventRegistrationToken*) = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE remove_ContentLoading(EventRegistrationToken) = 0;               // 10
    virtual HRESULT STDMETHODCALLTYPE add_SourceChanged(BrowserOpaque*, EventRegistrationToken*) = 0;  // 11
    virtual HRESULT STDMETHODCALLTYPE remove_SourceChanged(EventRegistrationToken) = 0;                // 12
    virtual HRESULT STDMETHODCALLTYPE add_HistoryChanged(BrowserOpaque*, EventRegistrationToken*) = 0; // 13
    virtual HRESULT STDMETHODCALLTYPE remove_HistoryChanged(EventRegistrationToken) = 0;               // 14
    virtual HRESULT STDMETHODCALLTYPE add_NavigationCompleted(BrowserOpaque*,
                                                              EventRegistrationToken*) = 0;   // 15
    virtual HRESULT STDMETHODCALLTYPE remove_NavigationCompleted(EventRegistrationToken) = 0; // 16
    virtual HRESULT STDMETHODCALLTYPE add_FrameNavigationStarting(BrowserOpaque*,
                                                                  EventRegistrationToken*) = 0;   // 17
    virtual HRESULT STDMETHODCALLTYPE remove_FrameNavigationStarting(EventRegistrationToken) = 0; // 18
    virtual HRESULT STDMETHODCALLTYPE add_FrameNavigationCompleted(BrowserOpaque*,
                                                                   EventRegistrationToken*) = 0;   // 19
    virtual HRESULT STDMETHODCALLTYPE remove_FrameNavigationCompleted(EventRegistrationToken) = 0; // 20
    virtual HRESULT STDMETHODCALLTYPE add_ScriptDialogOpening(BrowserOpaque*,
                                                              EventRegistrationToken*) = 0;   // 21
    virtual HRESULT STDMETHODCALLTYPE remove_ScriptDialogOpening(EventRegistrationToken) = 0; // 22
    virtual HRESULT STDMETHODCALLTYPE add_PermissionRequested(BrowserOpaque*,
                                                              EventRegistrationToken*) = 0;             // 23
    virtual HRESULT STDMETHODCALLTYPE remove_PermissionRequested(EventRegistrationToken) = 0;           // 24
    virtual HRESULT STDMETHODCALLTYPE add_ProcessFailed(BrowserOpaque*, EventRegistrationToken*) = 0;   // 25
    virtual HRESULT STDMETHODCALLTYPE remove_ProcessFailed(EventRegistrationToken) = 0;                 // 26
    virtual HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(LPCWSTR, BrowserOpaque*) = 0; // 27
    virtual HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR) = 0;              // 28
    virtual HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR, BrowserOpaque*) = 0;                       // 29
    virtual HRESULT STDMETHODCALLTYPE CapturePreview(int, IStream*, BrowserOpaque*) = 0;                // 30
    virtual HRESULT STDMETHODCALLTYPE Reload() = 0;                                                     // 31
    virtual HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR webMessageAsJson) = 0;               // 32
    virtual HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR webMessageAsString) = 0;           // 33
    virtual HRESULT STDMETHODCALLTYPE
    add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                           EventRegistrationToken* token) = 0;                                          // 34
    virtual HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken token) = 0;      // 35
    virtual HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(LPCWSTR, LPCWSTR, BrowserOpaque*) = 0; // 36
    virtual HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* value) = 0;                          // 37
    virtual HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL* canGoBack) = 0;                               // 38
    virtual HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL* canGoForward) = 0;                         // 39
    virtual HRESULT STDMETHODCALLTYPE GoBack() = 0;                                                     // 40
    virtual HRESULT STDMETHODCALLTYPE GoForward() = 0;                                                  // 41
    virtual HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(LPCWSTR, BrowserOpaque**) = 0;   // 42
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;                                                       // 43
    virtual HRESULT STDMETHODCALLTYPE
    add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                           EventRegistrationToken* token) = 0;                                     // 44
    virtual HRESULT STDMETHODCALLTYPE remove_NewWindowRequested(EventRegistrationToken token) = 0; // 45
    virtual HRESULT STDMETHODCALLTYPE add_DocumentTitleChanged(BrowserOpaque*,
                                                               EventRegistrationToken*) = 0;   // 46
    virtual HRESULT STDMETHODCALLTYPE remove_DocumentTitleChanged(EventRegistrationToken) = 0; // 47
    virtual HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) = 0;                    // 48
    virtual HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR, VARIANT*) = 0;            // 49
    virtual HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR) = 0;                 // 50
    virtual HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() = 0;                                // 51
    virtual HRESULT STDMETHODCALLTYPE add_ContainsFullScreenElementChanged(BrowserOpaque*,
                                                                           EventRegistrationToken*) = 0; // 52
    virtual HRESULT
        STDMETHODCALLTYPE remove_ContainsFullScreenElementChanged(EventRegistrationToken) = 0; // 53
    virtual HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL* value) = 0;          // 54
    virtual HRESULT STDMETHODCALLTYPE
    add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* handler,
                             EventRegistrationToken* token) = 0;                                     // 55
    virtual HRESULT STDMETHODCALLTYPE remove_WebResourceRequested(EventRegistrationToken token) = 0; // 56
    virtual HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(LPCWSTR uri,
                                                                    int resourceContext) = 0; // 57
    virtual HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(LPCWSTR uri,
                                                                       int resourceContext) = 0; // 58
    virtual HRESULT STDMETHODCALLTYPE add_WindowCloseRequested(BrowserOpaque*,
                                                               EventRegistrationToken*) = 0;   // 59
    virtual HRESULT STDMETHODCALLTYPE remove_WindowCloseRequested(EventRegistrationToken) = 0; // 60
};

struct ICoreWebView2Controller : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* isVisible) = 0;                                 // 3
    virtual HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL isVisible) = 0;                                  // 4
    virtual HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) = 0;                                       // 5
    virtual HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) = 0;                                        // 6
    virtual HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* zoomFactor) = 0;                             // 7
    virtual HRESULT STDMETHODCALLTYPE put_ZoomFactor(double zoomFactor) = 0;                              // 8
    virtual HRESULT STDMETHODCALLTYPE add_ZoomFactorChanged(BrowserOpaque*, EventRegistrationToken*) = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE remove_ZoomFactorChanged(EventRegistrationToken) = 0;       // 10
    virtual HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) = 0; // 11
    virtual HRESULT STDMETHODCALLTYPE MoveFocus(int reason) = 0;                                  // 12
    virtual HRESULT STDMETHODCALLTYPE add_MoveFocusRequested(BrowserOpaque*,
                                                             EventRegistrationToken*) = 0;        // 13
    virtual HRESULT STDMETHODCALLTYPE remove_MoveFocusRequested(EventRegistrationToken) = 0;      // 14
    virtual HRESULT STDMETHODCALLTYPE add_GotFocus(BrowserOpaque*, EventRegistrationToken*) = 0;  // 15
    virtual HRESULT STDMETHODCALLTYPE remove_GotFocus(EventRegistrationToken) = 0;                // 16
    virtual HRESULT STDMETHODCALLTYPE add_LostFocus(BrowserOpaque*, EventRegistrationToken*) = 0; // 17
    virtual HRESULT STDMETHODCALLTYPE remove_LostFocus(EventRegistrationToken) = 0;               // 18
    virtual HRESULT STDMETHODCALLTYPE add_AcceleratorKeyPressed(BrowserOpaque*,
                                                                EventRegistrationToken*) = 0;   // 19
    virtual HRESULT STDMETHODCALLTYPE remove_AcceleratorKeyPressed(EventRegistrationToken) = 0; // 20
    virtual HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parentWindow) = 0;                 // 21
    virtual HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND parentWindow) = 0;                  // 22
    virtual HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() = 0;                  // 23
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;                                              // 24
    virtual HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** coreWebView2) = 0;       // 25
};

struct ICoreWebView2Environment : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE
    CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase, LPCWSTR headers,
                              ICoreWebView2WebResourceResponse** response) = 0;          // 4
    virtual HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) = 0; // 5
    virtual HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(BrowserOpaque*,
                                                                     EventRegistrationToken*) = 0;   // 6
    virtual HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) = 0; // 7
};

// Channel-selection options; the loader only reads the two getters.
struct ICoreWebView2EnvironmentOptions7 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_ChannelSearchKind(int* value) = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE put_ChannelSearchKind(int value) = 0;  // 4
    virtual HRESULT STDMETHODCALLTYPE get_ReleaseChannels(int* value) = 0;   // 5
    virtual HRESULT STDMETHODCALLTYPE put_ReleaseChannels(int value) = 0;    // 6
};

// The host's environment options. The program passes none; the loader only queries it for other
// interfaces and hands it on to the runtime unchanged.
struct ICoreWebView2EnvironmentOptions : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) = 0;           // 3
    virtual HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) = 0;           // 4
    virtual HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) = 0;                             // 5
    virtual HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) = 0;                             // 6
    virtual HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) = 0;       // 7
    virtual HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) = 0;       // 8
    virtual HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* value) = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL value) = 0;  // 10
};

// --- links and the page's own origin -------------------------------------------------------------------
// Navigation starts, new-window requests and web-resource requests with their arguments, and the
// requests and responses the program answers itself.

inline constexpr IID IID_ICoreWebView2NavigationStartingEventArgs = {
    0x5B495469, 0xE119, 0x438A, {0x9B, 0x18, 0x76, 0x04, 0xF2, 0x5F, 0x2E, 0x49}};
inline constexpr IID IID_ICoreWebView2NavigationStartingEventHandler = {
    0x9ADBE429, 0xF36D, 0x432B, {0x9D, 0xDC, 0xF8, 0x88, 0x1F, 0xBD, 0x76, 0xE3}};
inline constexpr IID IID_ICoreWebView2NewWindowRequestedEventArgs = {
    0x34ACB11C, 0xFC37, 0x4418, {0x91, 0x32, 0xF9, 0xC2, 0x1D, 0x1E, 0xAF, 0xB9}};
inline constexpr IID IID_ICoreWebView2NewWindowRequestedEventHandler = {
    0xD4C185FE, 0xC81C, 0x4989, {0x97, 0xAF, 0x2D, 0x3F, 0xA7, 0xAB, 0x56, 0x51}};
inline constexpr IID IID_ICoreWebView2Deferral = {
    0xC10E7F7B, 0xB585, 0x46F0, {0xA6, 0x23, 0x8B, 0xEF, 0xBF, 0x3E, 0x4E, 0xE0}};
inline constexpr IID IID_ICoreWebView2WebResourceRequestedEventHandler = {
    0xAB00B74C, 0x15F1, 0x4646, {0x80, 0xE8, 0xE7, 0x63, 0x41, 0xD2, 0x5D, 0x71}};
inline constexpr IID IID_ICoreWebView2WebResourceRequestedEventArgs = {
    0x453E667F, 0x12C7, 0x49D4, {0xBE, 0x6D, 0xDD, 0xBE, 0x79, 0x56, 0xF5, 0x7A}};
inline constexpr IID IID_ICoreWebView2WebResourceRequest = {
    0x97055CD4, 0x512C, 0x4264, {0x8B, 0x5F, 0xE3, 0xF4, 0x46, 0xCE, 0xA6, 0xA5}};
inline constexpr IID IID_ICoreWebView2WebResourceResponse = {
    0xAAFCC94F, 0xFA27, 0x48FD, {0x97, 0xDF, 0x83, 0x0E, 0xF7, 0x5A, 0xAE, 0xC9}};
inline constexpr IID IID_ICoreWebView2HttpRequestHeaders = {
    0xE86CAC0E, 0x5523, 0x465C, {0xB5, 0x36, 0x8F, 0xB9, 0xFC, 0x8C, 0x8C, 0x60}};
inline constexpr IID IID_ICoreWebView2HttpResponseHeaders = {
    0x03C5FF5A, 0x9B45, 0x4A88, {0x88, 0x1C, 0x89, 0xA9, 0xF3, 0x28, 0x61, 0x9C}};

// COREWEBVIEW2_WEB_RESOURCE_CONTEXT: every kind of request.
inline constexpr int kWebResourceContextAll = 0;

struct ICoreWebView2Deferral : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Complete() = 0; // 3
};

struct ICoreWebView2NavigationStartingEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;                        // 3
    virtual HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) = 0;  // 4
    virtual HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* isRedirected) = 0;        // 5
    virtual HRESULT STDMETHODCALLTYPE get_RequestHeaders(BrowserOpaque** headers) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) = 0;                    // 7
    virtual HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) = 0;                     // 8
    virtual HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) = 0;      // 9
};

struct ICoreWebView2NavigationStartingEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                             ICoreWebView2NavigationStartingEventArgs* args) = 0;
};

struct ICoreWebView2NewWindowRequestedEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;                          // 3
    virtual HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* newWindow) = 0;       // 4
    virtual HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** newWindow) = 0;      // 5
    virtual HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) = 0;                     // 6
    virtual HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) = 0;                    // 7
    virtual HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* isUserInitiated) = 0;    // 8
    virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE get_WindowFeatures(BrowserOpaque** features) = 0;  // 10
};

struct ICoreWebView2NewWindowRequestedEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                             ICoreWebView2NewWindowRequestedEventArgs* args) = 0;
};

struct ICoreWebView2HttpRequestHeaders : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) = 0;             // 3
    virtual HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR name, BrowserOpaque** iterator) = 0; // 4
    virtual HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* contains) = 0;             // 5
    virtual HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR name, LPCWSTR value) = 0;             // 6
    virtual HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR name) = 0;                         // 7
    virtual HRESULT STDMETHODCALLTYPE GetIterator(BrowserOpaque** iterator) = 0;              // 8
};

struct ICoreWebView2HttpResponseHeaders : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AppendHeader(LPCWSTR name, LPCWSTR value) = 0;          // 3
    virtual HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* contains) = 0;             // 4
    virtual HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) = 0;             // 5
    virtual HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR name, BrowserOpaque** iterator) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE GetIterator(BrowserOpaque** iterator) = 0;              // 7
};

struct ICoreWebView2WebResourceRequest : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;                                   // 3
    virtual HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR uri) = 0;                                   // 4
    virtual HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) = 0;                             // 5
    virtual HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR method) = 0;                             // 6
    virtual HRESULT STDMETHODCALLTYPE get_Content(IStream** content) = 0;                         // 7
    virtual HRESULT STDMETHODCALLTYPE put_Content(IStream* content) = 0;                          // 8
    virtual HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) = 0; // 9
};

struct ICoreWebView2WebResourceResponse : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Content(IStream** content) = 0;                          // 3
    virtual HRESULT STDMETHODCALLTYPE put_Content(IStream* content) = 0;                           // 4
    virtual HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders** headers) = 0; // 5
    virtual HRESULT STDMETHODCALLTYPE get_StatusCode(int* statusCode) = 0;                         // 6
    virtual HRESULT STDMETHODCALLTYPE put_StatusCode(int statusCode) = 0;                          // 7
    virtual HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* reasonPhrase) = 0;                  // 8
    virtual HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reasonPhrase) = 0;                  // 9
};

struct ICoreWebView2WebResourceRequestedEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) = 0;    // 3
    virtual HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) = 0; // 4
    virtual HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) = 0;  // 5
    virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0;             // 6
    virtual HRESULT STDMETHODCALLTYPE get_ResourceContext(int* context) = 0;                         // 7
};

struct ICoreWebView2WebResourceRequestedEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                             ICoreWebView2WebResourceRequestedEventArgs* args) = 0;
};

// --- downloads, context menu, reload ---------------------------------------------------------------
// Later versions of the web view derive from the one before, so each continues the slot numbering;
// versions the program does not use carry placeholder slots only. The navigation kind tells a reload
// from a link.

inline constexpr IID IID_ICoreWebView2_2 = {
    0x9E8F0CF8, 0xE670, 0x4B5E, {0xB2, 0xBC, 0x73, 0xE0, 0x61, 0xE3, 0x18, 0x4C}};
inline constexpr IID IID_ICoreWebView2_3 = {
    0xA0D6DF20, 0x3B92, 0x416D, {0xAA, 0x0C, 0x43, 0x7A, 0x9C, 0x72, 0x78, 0x57}};
inline constexpr IID IID_ICoreWebView2_4 = {
    0x20D02D59, 0x6DF2, 0x42DC, {0xBD, 0x06, 0xF9, 0x8A, 0x69, 0x4B, 0x13, 0x02}};
inline constexpr IID IID_ICoreWebView2_11 = {
    0x0BE78E56, 0xC193, 0x4051, {0xB9, 0x43, 0x23, 0xB4, 0x60, 0xC0, 0x8B, 0xDB}};
inline constexpr IID IID_ICoreWebView2DownloadStartingEventHandler = {
    0xEFEDC989, 0xC396, 0x41CA, {0x83, 0xF7, 0x07, 0xF8, 0x45, 0xA5, 0x57, 0x24}};
inline constexpr IID IID_ICoreWebView2DownloadStartingEventArgs = {
    0xE99BBE21, 0x43E9, 0x4544, {0xA7, 0x32, 0x28, 0x27, 0x64, 0xEA, 0xFA, 0x60}};
inline constexpr IID IID_ICoreWebView2DownloadOperation = {
    0x3D6B6CF2, 0xAFE1, 0x44C7, {0xA9, 0x95, 0xC6, 0x51, 0x17, 0x71, 0x43, 0x36}};
inline constexpr IID IID_ICoreWebView2ContextMenuRequestedEventHandler = {
    0x04D3FE1D, 0xAB87, 0x42FB, {0xA8, 0x98, 0xDA, 0x24, 0x1D, 0x35, 0xB6, 0x3C}};
inline constexpr IID IID_ICoreWebView2ContextMenuRequestedEventArgs = {
    0xA1D309EE, 0xC03F, 0x11EB, {0x85, 0x29, 0x02, 0x42, 0xAC, 0x13, 0x00, 0x03}};
inline constexpr IID IID_ICoreWebView2ContextMenuItemCollection = {
    0xF562A2F5, 0xC415, 0x45CF, {0xB9, 0x09, 0xD4, 0xB7, 0xC1, 0xE2, 0x76, 0xD3}};
inline constexpr IID IID_ICoreWebView2ContextMenuItem = {
    0x7AED49E3, 0xA93F, 0x497A, {0x81, 0x1C, 0x74, 0x9C, 0x6B, 0x6B, 0x6C, 0x65}};
inline constexpr IID IID_ICoreWebView2NavigationStartingEventArgs2 = {
    0x9086BE93, 0x91AA, 0x472D, {0xA7, 0xE0, 0x57, 0x9F, 0x2B, 0xA0, 0x06, 0xAD}};
inline constexpr IID IID_ICoreWebView2NavigationStartingEventArgs3 = {
    0xDDFFE494, 0x4942, 0x4BD2, {0xAB, 0x73, 0x35, 0xB8, 0xFF, 0x40, 0xE1, 0x9F}};

// COREWEBVIEW2_NAVIGATION_KIND
inline constexpr int kNavigationKindReload = 0;
inline constexpr int kNavigationKindBackOrForward = 1;
inline constexpr int kNavigationKindNewDocument = 2;
// COREWEBVIEW2_CONTEXT_MENU_ITEM_KIND: a separator line.
inline constexpr int kContextMenuItemSeparator = 3;

struct ICoreWebView2DownloadStartingEventHandler;
struct ICoreWebView2ContextMenuRequestedEventHandler;

struct ICoreWebView2NavigationStartingEventArgs2 : ICoreWebView2NavigationStartingEventArgs {
    virtual HRESULT STDMETHODCALLTYPE get_AdditionalAllowedFrameAncestors(LPWSTR* value) = 0; // 10
    virtual HRESULT STDMETHODCALLTYPE put_AdditionalAllowedFrameAncestors(LPCWSTR value) = 0; // 11
};

struct ICoreWebView2NavigationStartingEventArgs3 : ICoreWebView2NavigationStartingEventArgs2 {
    virtual HRESULT STDMETHODCALLTYPE get_NavigationKind(int* kind) = 0; // 12
};

struct ICoreWebView2_2 : ICoreWebView2 {
    virtual HRESULT STDMETHODCALLTYPE add_WebResourceResponseReceived(BrowserOpaque*,
                                                                      EventRegistrationToken*) = 0;      // 61
    virtual HRESULT STDMETHODCALLTYPE remove_WebResourceResponseReceived(EventRegistrationToken) = 0;    // 62
    virtual HRESULT STDMETHODCALLTYPE NavigateWithWebResourceRequest(BrowserOpaque*) = 0;                // 63
    virtual HRESULT STDMETHODCALLTYPE add_DOMContentLoaded(BrowserOpaque*, EventRegistrationToken*) = 0; // 64
    virtual HRESULT STDMETHODCALLTYPE remove_DOMContentLoaded(EventRegistrationToken) = 0;               // 65
    virtual HRESULT STDMETHODCALLTYPE get_CookieManager(BrowserOpaque**) = 0;                            // 66
    virtual HRESULT STDMETHODCALLTYPE get_Environment(ICoreWebView2Environment**) = 0;                   // 67
};

struct ICoreWebView2_3 : ICoreWebView2_2 {
    virtual HRESULT STDMETHODCALLTYPE TrySuspend(BrowserOpaque*) = 0;                               // 68
    virtual HRESULT STDMETHODCALLTYPE Resume() = 0;                                                 // 69
    virtual HRESULT STDMETHODCALLTYPE get_IsSuspended(BOOL*) = 0;                                   // 70
    virtual HRESULT STDMETHODCALLTYPE SetVirtualHostNameToFolderMapping(LPCWSTR, LPCWSTR, int) = 0; // 71
    virtual HRESULT STDMETHODCALLTYPE ClearVirtualHostNameToFolderMapping(LPCWSTR) = 0;             // 72
};

struct ICoreWebView2_4 : ICoreWebView2_3 {
    virtual HRESULT STDMETHODCALLTYPE add_FrameCreated(BrowserOpaque*, EventRegistrationToken*) = 0; // 73
    virtual HRESULT STDMETHODCALLTYPE remove_FrameCreated(EventRegistrationToken) = 0;               // 74
    virtual HRESULT STDMETHODCALLTYPE add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* handler,
                                                           EventRegistrationToken* token) = 0;   // 75
    virtual HRESULT STDMETHODCALLTYPE remove_DownloadStarting(EventRegistrationToken token) = 0; // 76
};

// Versions 5 to 10: nothing the program calls.
struct ICoreWebView2_5 : ICoreWebView2_4 {
    virtual HRESULT STDMETHODCALLTYPE add_ClientCertificateRequested(BrowserOpaque*,
                                                                     EventRegistrationToken*) = 0;   // 77
    virtual HRESULT STDMETHODCALLTYPE remove_ClientCertificateRequested(EventRegistrationToken) = 0; // 78
};
struct ICoreWebView2_6 : ICoreWebView2_5 {
    virtual HRESULT STDMETHODCALLTYPE OpenTaskManagerWindow() = 0; // 79
};
struct ICoreWebView2_7 : ICoreWebView2_6 {
    virtual HRESULT STDMETHODCALLTYPE PrintToPdf(LPCWSTR, BrowserOpaque*, BrowserOpaque*) = 0; // 80
};
struct ICoreWebView2_8 : ICoreWebView2_7 {
    virtual HRESULT STDMETHODCALLTYPE add_IsMutedChanged(BrowserOpaque*, EventRegistrationToken*) = 0; // 81
    virtual HRESULT STDMETHODCALLTYPE remove_IsMutedChanged(EventRegistrationToken) = 0;               // 82
    virtual HRESULT STDMETHODCALLTYPE get_IsMuted(BOOL*) = 0;                                          // 83
    virtual HRESULT STDMETHODCALLTYPE put_IsMuted(BOOL) = 0;                                           // 84
    virtual HRESULT STDMETHODCALLTYPE add_IsDocumentPlayingAudioChanged(BrowserOpaque*,
                                                                        EventRegistrationToken*) = 0;   // 85
    virtual HRESULT STDMETHODCALLTYPE remove_IsDocumentPlayingAudioChanged(EventRegistrationToken) = 0; // 86
    virtual HRESULT STDMETHODCALLTYPE get_IsDocumentPlayingAudio(BOOL*) = 0;                            // 87
};
struct ICoreWebView2_9 : ICoreWebView2_8 {
    virtual HRESULT STDMETHODCALLTYPE
    add_IsDefaultDownloadDialogOpenChanged(BrowserOpaque*,
                                           EventRegistrationToken*) = 0; // 88
    virtual HRESULT
        STDMETHODCALLTYPE remove_IsDefaultDownloadDialogOpenChanged(EventRegistrationToken) = 0; // 89
    virtual HRESULT STDMETHODCALLTYPE get_IsDefaultDownloadDialogOpen(BOOL*) = 0;                // 90
    virtual HRESULT STDMETHODCALLTYPE OpenDefaultDownloadDialog() = 0;                           // 91
    virtual HRESULT STDMETHODCALLTYPE CloseDefaultDownloadDialog() = 0;                          // 92
    virtual HRESULT STDMETHODCALLTYPE get_DefaultDownloadDialogCornerAlignment(int*) = 0;        // 93
    virtual HRESULT STDMETHODCALLTYPE put_DefaultDownloadDialogCornerAlignment(int) = 0;         // 94
    virtual HRESULT STDMETHODCALLTYPE get_DefaultDownloadDialogMargin(POINT*) = 0;               // 95
    virtual HRESULT STDMETHODCALLTYPE put_DefaultDownloadDialogMargin(POINT) = 0;                // 96
};
struct ICoreWebView2_10 : ICoreWebView2_9 {
    virtual HRESULT STDMETHODCALLTYPE add_BasicAuthenticationRequested(BrowserOpaque*,
                                                                       EventRegistrationToken*) = 0;   // 97
    virtual HRESULT STDMETHODCALLTYPE remove_BasicAuthenticationRequested(EventRegistrationToken) = 0; // 98
};

struct ICoreWebView2_11 : ICoreWebView2_10 {
    virtual HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethodForSession(LPCWSTR, LPCWSTR, LPCWSTR,
                                                                           BrowserOpaque*) = 0; // 99
    virtual HRESULT STDMETHODCALLTYPE
    add_ContextMenuRequested(ICoreWebView2ContextMenuRequestedEventHandler* handler,
                             EventRegistrationToken* token) = 0;                                     // 100
    virtual HRESULT STDMETHODCALLTYPE remove_ContextMenuRequested(EventRegistrationToken token) = 0; // 101
};

struct ICoreWebView2DownloadOperation : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE add_BytesReceivedChanged(BrowserOpaque*,
                                                               EventRegistrationToken*) = 0;   // 3
    virtual HRESULT STDMETHODCALLTYPE remove_BytesReceivedChanged(EventRegistrationToken) = 0; // 4
    virtual HRESULT STDMETHODCALLTYPE add_EstimatedEndTimeChanged(BrowserOpaque*,
                                                                  EventRegistrationToken*) = 0;      // 5
    virtual HRESULT STDMETHODCALLTYPE remove_EstimatedEndTimeChanged(EventRegistrationToken) = 0;    // 6
    virtual HRESULT STDMETHODCALLTYPE add_StateChanged(BrowserOpaque*, EventRegistrationToken*) = 0; // 7
    virtual HRESULT STDMETHODCALLTYPE remove_StateChanged(EventRegistrationToken) = 0;               // 8
    virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;                                      // 9
    virtual HRESULT STDMETHODCALLTYPE get_ContentDisposition(LPWSTR* contentDisposition) = 0;        // 10
    virtual HRESULT STDMETHODCALLTYPE get_MimeType(LPWSTR* mimeType) = 0;                            // 11
};

struct ICoreWebView2DownloadStartingEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE
    get_DownloadOperation(ICoreWebView2DownloadOperation** operation) = 0;               // 3
    virtual HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) = 0;                      // 4
    virtual HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) = 0;                       // 5
    virtual HRESULT STDMETHODCALLTYPE get_ResultFilePath(LPWSTR* resultFilePath) = 0;    // 6
    virtual HRESULT STDMETHODCALLTYPE put_ResultFilePath(LPCWSTR resultFilePath) = 0;    // 7
    virtual HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) = 0;                    // 8
    virtual HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) = 0;                     // 9
    virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0; // 10
};

struct ICoreWebView2DownloadStartingEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                             ICoreWebView2DownloadStartingEventArgs* args) = 0;
};

struct ICoreWebView2ContextMenuItemCollection;

struct ICoreWebView2ContextMenuItem : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Name(LPWSTR* name) = 0;                          // 3
    virtual HRESULT STDMETHODCALLTYPE get_Label(LPWSTR* label) = 0;                        // 4
    virtual HRESULT STDMETHODCALLTYPE get_CommandId(INT32* commandId) = 0;                 // 5
    virtual HRESULT STDMETHODCALLTYPE get_ShortcutKeyDescription(LPWSTR* description) = 0; // 6
    virtual HRESULT STDMETHODCALLTYPE get_Icon(IStream** icon) = 0;                        // 7
    virtual HRESULT STDMETHODCALLTYPE get_Kind(int* kind) = 0;                             // 8
};

struct ICoreWebView2ContextMenuItemCollection : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Count(UINT32* count) = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE GetValueAtIndex(UINT32 index,
                                                      ICoreWebView2ContextMenuItem** item) = 0; // 4
    virtual HRESULT STDMETHODCALLTYPE RemoveValueAtIndex(UINT32 index) = 0;                     // 5
    virtual HRESULT STDMETHODCALLTYPE InsertValueAtIndex(UINT32 index,
                                                         ICoreWebView2ContextMenuItem* item) = 0; // 6
};

struct ICoreWebView2ContextMenuRequestedEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_MenuItems(ICoreWebView2ContextMenuItemCollection** items) = 0; // 3
    virtual HRESULT STDMETHODCALLTYPE get_ContextMenuTarget(BrowserOpaque** target) = 0;                 // 4
    virtual HRESULT STDMETHODCALLTYPE get_Location(POINT* location) = 0;                                 // 5
    // The setters come before the getters here.
    virtual HRESULT STDMETHODCALLTYPE put_SelectedCommandId(INT32 commandId) = 0;        // 6
    virtual HRESULT STDMETHODCALLTYPE get_SelectedCommandId(INT32* commandId) = 0;       // 7
    virtual HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) = 0;                     // 8
    virtual HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) = 0;                    // 9
    virtual HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) = 0; // 10
};

struct ICoreWebView2ContextMenuRequestedEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                             ICoreWebView2ContextMenuRequestedEventArgs* args) = 0;
};
