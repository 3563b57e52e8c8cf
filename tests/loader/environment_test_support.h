// Test doubles and recorders for the environment-creation tests: the loader's debugger output and
// policy-key opens, the event sink, the host's completion handler, an options object, environment
// variables, the stand-in runtimes and a message pump.
#pragma once

#include "fake_runtimes/fake_runtime_control.h"
#include "loader/event_sink.h"
#include "loader/platform_seam.h"
#include "platform/unique_handle.h"
#include "support/com_stubs.h"

#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// --- loader platform ---------------------------------------------------------------------------

// Records every debugger text (narrow texts widened) and counts the policy keys opened, while it lives.
class LoaderPlatformRecorder {
public:
    LoaderPlatformRecorder();
    ~LoaderPlatformRecorder();
    LoaderPlatformRecorder(const LoaderPlatformRecorder&) = delete;
    LoaderPlatformRecorder& operator=(const LoaderPlatformRecorder&) = delete;

    [[nodiscard]] std::wstring DebuggerText() const;
    [[nodiscard]] int DebuggerCalls() const;
    [[nodiscard]] int RegistryOpens() const;

private:
    ScopedLoaderPlatformOverride override_;
};

// --- event sink ----------------------------------------------------------------------------------

// One call the tracing system makes to the provider's enable callback during EventRegister.
struct ListenerControl {
    ULONG controlCode;
    UCHAR level;
    ULONGLONG matchAnyKeyword;
    ULONGLONG matchAllKeyword;
};

struct RecordedData {
    ULONG reserved;
    std::vector<uint8_t> bytes;
};

struct RecordedWrite {
    REGHANDLE handle;
    EVENT_DESCRIPTOR descriptor;
    bool activityIdsNull;
    std::vector<RecordedData> data;
};

struct RecordedTraits {
    REGHANDLE handle;
    int informationClass;
    std::vector<uint8_t> bytes;
};

// Stands in for ADVAPI32's tracing functions while it lives. By default a listener enables every level
// and keyword, so every event is written.
class EventRecorder {
public:
    EventRecorder();
    ~EventRecorder();
    EventRecorder(const EventRecorder&) = delete;
    EventRecorder& operator=(const EventRecorder&) = delete;

    // The enable-callback calls made during each registration (none: no listener).
    void SetListener(std::vector<ListenerControl> controls);
    void FailRegistration(ULONG error);
    void RemoveSetInformation();

    [[nodiscard]] int Registrations() const;
    [[nodiscard]] int Unregistrations() const;
    [[nodiscard]] int MostRegisteredAtOnce() const;
    [[nodiscard]] std::vector<GUID> ProviderIds() const;
    [[nodiscard]] std::vector<RecordedTraits> Traits() const;
    [[nodiscard]] std::vector<RecordedWrite> Writes() const;
    [[nodiscard]] std::vector<REGHANDLE> UnregisteredHandles() const;

private:
    EventSink sink_;
};

// The payload of one written error event, read back.
struct ErrorEventFields {
    int32_t hr;
    uint8_t clientDllFound;
    uint8_t installedRuntime;
    uint64_t privacyTags;
};
// Requires the written layout: two metadata blobs then the four fields of their sizes.
std::optional<ErrorEventFields> ReadErrorEventFields(const RecordedWrite& write);

// --- COM doubles ---------------------------------------------------------------------------------

struct HostInvocation {
    HRESULT code;
    Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment;
};

class RecordingHostHandler : public ComObject<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> {
public:
    RecordingHostHandler() noexcept
        : ComObject(IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler) {}
    HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, ICoreWebView2Environment* result) override {
        invocations.push_back(HostInvocation{errorCode, result});
        return S_OK;
    }
    std::vector<HostInvocation> invocations;
};

// An options object that counts how often it is asked for an interface.
class CountingOptions : public StubEnvironmentOptions {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        ++queries;
        return StubEnvironmentOptions::QueryInterface(iid, object);
    }
    int queries = 0;
};

// --- environment ---------------------------------------------------------------------------------

// Sets (or, with null, removes) one variable of the process and restores it afterwards.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const wchar_t* name, const wchar_t* value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;
    void Set(const wchar_t* value);

private:
    std::wstring name_;
    std::optional<std::wstring> previous_;
};

// Every variable the loader honours, removed for the scope.
class LoaderVariablesCleared {
public:
    LoaderVariablesCleared();

private:
    std::vector<std::unique_ptr<ScopedEnvironmentVariable>> variables_;
};

// --- stand-in runtimes ---------------------------------------------------------------------------

// The runtime folder of one stand-in runtime below the test build, and its client library's path.
std::wstring FakeRuntimeFolder(const wchar_t* name);
std::wstring ClientDllPath(const std::wstring& runtimeFolder);
bool IsLibraryLoaded(const std::wstring& path);

// A scripted client library, loaded by the test to reach its control exports.
class ScriptedRuntime {
public:
    explicit ScriptedRuntime(const wchar_t* name);
    [[nodiscard]] bool Loaded() const;
    [[nodiscard]] const std::wstring& Folder() const { return folder_; }
    void Reset(std::initializer_list<FakeRuntimeStep> steps = {});
    [[nodiscard]] int CallCount() const;
    [[nodiscard]] FakeRuntimeCall Call(int index) const;
    [[nodiscard]] int PendingCount() const;

private:
    std::wstring folder_;
    UniqueModule module_;
    FakeRuntimeResetFn reset_ = nullptr;
    FakeRuntimeCallCountFn callCount_ = nullptr;
    FakeRuntimeGetCallFn getCall_ = nullptr;
    FakeRuntimePendingCountFn pendingCount_ = nullptr;
};

// Registry values written below HKEY_CURRENT_USER (32-bit view, where runtimes are registered) for the
// scope; the key is deleted afterwards.
class ScopedRuntimeRegistration {
public:
    ScopedRuntimeRegistration(const wchar_t* subKey,
                              std::initializer_list<std::pair<const wchar_t*, std::wstring>> values);
    ~ScopedRuntimeRegistration();
    ScopedRuntimeRegistration(const ScopedRuntimeRegistration&) = delete;
    ScopedRuntimeRegistration& operator=(const ScopedRuntimeRegistration&) = delete;
    [[nodiscard]] bool Written() const { return written_; }

private:
    std::wstring subKey_;
    bool written_ = false;
};

// Delivers window messages until `done` holds; false when it still does not after a generous bound.
bool PumpMessagesUntil(const std::function<bool()>& done);
// Delivers whatever is already queued.
void DrainMessages();
