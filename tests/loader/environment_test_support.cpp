#include "environment_test_support.h"

#include "platform/module_export.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

namespace {

// --- loader platform ---------------------------------------------------------------------------

struct PlatformLog {
    std::mutex lock;
    std::wstring text;
    int calls = 0;
    int registryOpens = 0;
};
PlatformLog g_platformLog;

void WINAPI RecordDebuggerTextA(LPCSTR text) {
    const std::lock_guard<std::mutex> guard(g_platformLog.lock);
    ++g_platformLog.calls;
    for (const char* c = text; *c != '\0'; ++c) {
        g_platformLog.text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
    }
}

void WINAPI RecordDebuggerTextW(LPCWSTR text) {
    const std::lock_guard<std::mutex> guard(g_platformLog.lock);
    ++g_platformLog.calls;
    g_platformLog.text += text;
}

LSTATUS WINAPI CountingRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    {
        const std::lock_guard<std::mutex> guard(g_platformLog.lock);
        ++g_platformLog.registryOpens;
    }
    return ::RegOpenKeyExW(key, subKey, options, access, result);
}

LoaderPlatform RecordingPlatform() {
    {
        const std::lock_guard<std::mutex> guard(g_platformLog.lock);
        g_platformLog.text.clear();
        g_platformLog.calls = 0;
        g_platformLog.registryOpens = 0;
    }
    LoaderPlatform platform = RealLoaderPlatform();
    platform.outputDebugStringA = RecordDebuggerTextA;
    platform.outputDebugStringW = RecordDebuggerTextW;
    platform.regOpenKeyExW = CountingRegOpenKeyExW;
    return platform;
}

// --- event sink ----------------------------------------------------------------------------------

struct EventLog {
    mutable std::mutex lock;
    std::vector<ListenerControl> listener;
    ULONG registrationError = ERROR_SUCCESS;
    REGHANDLE nextHandle = 0x1000;
    int registrations = 0;
    int unregistrations = 0;
    int registeredNow = 0;
    int mostRegisteredAtOnce = 0;
    std::vector<GUID> providerIds;
    std::vector<RecordedTraits> traits;
    std::vector<RecordedWrite> writes;
    std::vector<REGHANDLE> unregistered;
};
EventLog g_eventLog;

const std::vector<ListenerControl> kEverythingEnabled = {{1, 0, ~0ULL, 0}};

ULONG WINAPI RecordEventRegister(LPCGUID providerId, PENABLECALLBACK enableCallback, PVOID context,
                                 PREGHANDLE handle) {
    std::vector<ListenerControl> listener;
    {
        const std::lock_guard<std::mutex> guard(g_eventLog.lock);
        if (g_eventLog.registrationError != ERROR_SUCCESS) {
            return g_eventLog.registrationError;
        }
        ++g_eventLog.registrations;
        g_eventLog.mostRegisteredAtOnce =
            std::max(g_eventLog.mostRegisteredAtOnce, ++g_eventLog.registeredNow);
        g_eventLog.providerIds.push_back(*providerId);
        *handle = g_eventLog.nextHandle++;
        listener = g_eventLog.listener;
    }
    // Give a second reporting thread the chance to overlap, were the loader not to serialise.
    ::Sleep(0);
    // As the tracing system does for a session that already enabled the provider.
    for (const ListenerControl& control : listener) {
        enableCallback(providerId, control.controlCode, control.level, control.matchAnyKeyword,
                       control.matchAllKeyword, nullptr, context);
    }
    return ERROR_SUCCESS;
}

ULONG WINAPI RecordEventSetInformation(REGHANDLE handle, EVENT_INFO_CLASS informationClass, PVOID information,
                                       ULONG length) {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    const auto* bytes = static_cast<const uint8_t*>(information);
    g_eventLog.traits.push_back(RecordedTraits{handle, static_cast<int>(informationClass),
                                               std::vector<uint8_t>(bytes, bytes + length)});
    return ERROR_SUCCESS;
}

ULONG WINAPI RecordEventWriteTransfer(REGHANDLE handle, PCEVENT_DESCRIPTOR descriptor, LPCGUID activityId,
                                      LPCGUID relatedActivityId, ULONG count, PEVENT_DATA_DESCRIPTOR data) {
    RecordedWrite write{handle, *descriptor, activityId == nullptr && relatedActivityId == nullptr, {}};
    for (ULONG i = 0; i < count; ++i) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(data[i].Ptr));
        write.data.push_back(
            RecordedData{data[i].Reserved, std::vector<uint8_t>(bytes, bytes + data[i].Size)});
    }
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    g_eventLog.writes.push_back(std::move(write));
    return ERROR_SUCCESS;
}

ULONG WINAPI RecordEventUnregister(REGHANDLE handle) {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    ++g_eventLog.unregistrations;
    --g_eventLog.registeredNow;
    g_eventLog.unregistered.push_back(handle);
    return ERROR_SUCCESS;
}

template <typename T> T ReadLittleEndian(const std::vector<uint8_t>& bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), sizeof value); // the target is little-endian, like the payload
    return value;
}

} // namespace

// --- loader platform ---------------------------------------------------------------------------

LoaderPlatformRecorder::LoaderPlatformRecorder() : override_(RecordingPlatform()) {
}
LoaderPlatformRecorder::~LoaderPlatformRecorder() = default;

std::wstring LoaderPlatformRecorder::DebuggerText() const {
    const std::lock_guard<std::mutex> guard(g_platformLog.lock);
    return g_platformLog.text;
}

int LoaderPlatformRecorder::DebuggerCalls() const {
    const std::lock_guard<std::mutex> guard(g_platformLog.lock);
    return g_platformLog.calls;
}

int LoaderPlatformRecorder::RegistryOpens() const {
    const std::lock_guard<std::mutex> guard(g_platformLog.lock);
    return g_platformLog.registryOpens;
}

// --- event sink ----------------------------------------------------------------------------------

EventRecorder::EventRecorder() {
    {
        const std::lock_guard<std::mutex> guard(g_eventLog.lock);
        g_eventLog.listener = kEverythingEnabled;
        g_eventLog.registrationError = ERROR_SUCCESS;
        g_eventLog.registrations = 0;
        g_eventLog.unregistrations = 0;
        g_eventLog.registeredNow = 0;
        g_eventLog.mostRegisteredAtOnce = 0;
        g_eventLog.providerIds.clear();
        g_eventLog.traits.clear();
        g_eventLog.writes.clear();
        g_eventLog.unregistered.clear();
    }
    sink_.eventRegister = RecordEventRegister;
    sink_.eventSetInformation = RecordEventSetInformation;
    sink_.eventWriteTransfer = RecordEventWriteTransfer;
    sink_.eventUnregister = RecordEventUnregister;
    SetEventSinkOverride(&sink_);
}

EventRecorder::~EventRecorder() {
    SetEventSinkOverride(nullptr);
}

void EventRecorder::SetListener(std::vector<ListenerControl> controls) {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    g_eventLog.listener = std::move(controls);
}

void EventRecorder::FailRegistration(ULONG error) {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    g_eventLog.registrationError = error;
}

void EventRecorder::RemoveSetInformation() {
    sink_.eventSetInformation = nullptr;
}

int EventRecorder::Registrations() const {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    return g_eventLog.registrations;
}

int EventRecorder::Unregistrations() const {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    return g_eventLog.unregistrations;
}

int EventRecorder::MostRegisteredAtOnce() const {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    return g_eventLog.mostRegisteredAtOnce;
}

std::vector<GUID> EventRecorder::ProviderIds() const {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    return g_eventLog.providerIds;
}

std::vector<RecordedTraits> EventRecorder::Traits() const {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    return g_eventLog.traits;
}

std::vector<RecordedWrite> EventRecorder::Writes() const {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    return g_eventLog.writes;
}

std::vector<REGHANDLE> EventRecorder::UnregisteredHandles() const {
    const std::lock_guard<std::mutex> guard(g_eventLog.lock);
    return g_eventLog.unregistered;
}

std::optional<ErrorEventFields> ReadErrorEventFields(const RecordedWrite& write) {
    if (write.data.size() != 6 || write.data[2].bytes.size() != 4 || write.data[3].bytes.size() != 1 ||
        write.data[4].bytes.size() != 1 || write.data[5].bytes.size() != 8) {
        return std::nullopt;
    }
    return ErrorEventFields{ReadLittleEndian<int32_t>(write.data[2].bytes), write.data[3].bytes[0],
                            write.data[4].bytes[0], ReadLittleEndian<uint64_t>(write.data[5].bytes)};
}

// --- environment ---------------------------------------------------------------------------------

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const wchar_t* name, const wchar_t* value)
    : name_(name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size != 0) {
        std::wstring previous(size, L'\0');
        previous.resize(::GetEnvironmentVariableW(name, previous.data(), size));
        previous_ = std::move(previous);
    }
    Set(value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
    Set(previous_ ? previous_->c_str() : nullptr);
}

void ScopedEnvironmentVariable::Set(const wchar_t* value) {
    ::SetEnvironmentVariableW(name_.c_str(), value);
}

LoaderVariablesCleared::LoaderVariablesCleared() {
    for (const wchar_t* name : {L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"WEBVIEW2_USER_DATA_FOLDER",
                                L"WEBVIEW2_USE_EDGE_VIEW", L"WEBVIEW2_RELEASE_CHANNELS",
                                L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE"}) {
        variables_.push_back(std::make_unique<ScopedEnvironmentVariable>(name, nullptr));
    }
}

// --- stand-in runtimes ---------------------------------------------------------------------------

std::wstring FakeRuntimeFolder(const wchar_t* name) {
    return std::wstring(FAKE_RUNTIMES_DIR L"\\") + name;
}

std::wstring ClientDllPath(const std::wstring& runtimeFolder) {
    return runtimeFolder + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
}

bool IsLibraryLoaded(const std::wstring& path) {
    return ::GetModuleHandleW(path.c_str()) != nullptr;
}

ScriptedRuntime::ScriptedRuntime(const wchar_t* name)
    : folder_(FakeRuntimeFolder(name)), module_(::LoadLibraryW(ClientDllPath(folder_).c_str())) {
    if (module_) {
        reset_ = FindExport<FakeRuntimeResetFn>(module_.get(), "FakeRuntimeReset");
        callCount_ = FindExport<FakeRuntimeCallCountFn>(module_.get(), "FakeRuntimeCallCount");
        getCall_ = FindExport<FakeRuntimeGetCallFn>(module_.get(), "FakeRuntimeGetCall");
        pendingCount_ = FindExport<FakeRuntimePendingCountFn>(module_.get(), "FakeRuntimePendingCount");
    }
}

bool ScriptedRuntime::Loaded() const {
    return reset_ != nullptr && callCount_ != nullptr && getCall_ != nullptr && pendingCount_ != nullptr;
}

void ScriptedRuntime::Reset(std::initializer_list<FakeRuntimeStep> steps) {
    reset_(steps.begin(), static_cast<int>(steps.size()));
}

int ScriptedRuntime::CallCount() const {
    return callCount_();
}

FakeRuntimeCall ScriptedRuntime::Call(int index) const {
    FakeRuntimeCall call{};
    call.runtimeKind = -1;
    getCall_(index, &call);
    return call;
}

int ScriptedRuntime::PendingCount() const {
    return pendingCount_();
}

ScopedRuntimeRegistration::ScopedRuntimeRegistration(
    const wchar_t* subKey, std::initializer_list<std::pair<const wchar_t*, std::wstring>> values)
    : subKey_(subKey) {
    UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, subKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    written_ = true;
    for (const auto& [name, text] : values) {
        const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        written_ =
            written_ && ::RegSetValueExW(key.get(), name, 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
    }
}

ScopedRuntimeRegistration::~ScopedRuntimeRegistration() {
    ::RegDeleteKeyExW(HKEY_CURRENT_USER, subKey_.c_str(), KEY_WOW64_32KEY, 0);
}

bool PumpMessagesUntil(const std::function<bool()>& done) {
    // A bound against hanging forever, not a timing expectation: completions are posted before the
    // loader returns, so they are normally delivered on the first pass.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        DrainMessages();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

void DrainMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}
