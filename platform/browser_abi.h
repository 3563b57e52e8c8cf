// The browser control's COM interfaces, declared by hand from their binary layout: interface
// identifiers and the exact order of virtual-table slots. Every interface derives directly from
// IUnknown; every slot up to the last one the program (or its test runtimes) calls is declared, in
// order, because skipping one would shift every later slot. Unused slots carry placeholder parameter
// types. No virtual destructors and no overloads here: both would change the table.
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
    virtual HRESULT STDMETHODCALLTYPE add_NavigationStarting(BrowserOpaque*,
                                                             EventRegistrationToken*) = 0;             // 7
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
                           EventRegistrationToken* token) = 0;                                     // 34
    virtual HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken token) = 0; // 35
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
    virtual HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int statusCode,
                                                                LPCWSTR reasonPhrase, LPCWSTR headers,
                                                                BrowserOpaque** response) = 0; // 4
    virtual HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) = 0;       // 5
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
