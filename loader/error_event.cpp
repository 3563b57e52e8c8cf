#include "loader/error_event.h"

#include "loader/event_enable_state.h"
#include "loader/event_metadata.h"
#include "loader/event_sink.h"

#include <cstdint>
#include <mutex>
#include <system_error>

namespace {

constexpr char kProviderName[] = "Microsoft.MSEdgeWebView.Loader";
// Derived from the provider name by the usual name hashing of self-describing providers.
constexpr GUID kProviderId = {0x951DDD7E, 0xF2FF, 0x5B3F, {0x71, 0x37, 0xE2, 0xF1, 0xA0, 0xDD, 0x98, 0x04}};
constexpr GUID kProviderGroup = {
    0x4F50731A, 0x89CF, 0x4782, {0xB3, 0xE0, 0xDC, 0xE8, 0xC9, 0x04, 0x76, 0xBA}};

constexpr char kEventName[] = "CreateWebViewEnvironmentError";
constexpr UCHAR kLevelError = 2;
constexpr ULONGLONG kMeasuresKeyword = 0x0000400000000000;
constexpr UCHAR kSelfDescribingChannel = 11;
constexpr uint64_t kProductPerformancePrivacyTag = 0x1000000;

// EventSetInformation's class for provider traits (the system headers name only class 0).
constexpr auto kEventProviderSetTraits = static_cast<EVENT_INFO_CLASS>(2);

// EVENT_DATA_DESCRIPTOR.Reserved tells metadata from payload in a self-describing event.
constexpr ULONG kDataPayload = 0;
constexpr ULONG kDataEventMetadata = 1;
constexpr ULONG kDataProviderMetadata = 2;

constexpr EventFieldMetadata kEventFields[] = {
    {"HRESULT", EventFieldType::HResult},
    {"ClientDllFound", EventFieldType::Boolean8},
    {"InstalledRuntime", EventFieldType::Boolean8},
    {"PartA_PrivTags", EventFieldType::UInt64},
};

// The process-wide provider record. Registration, writing and unregistration of one event happen under
// the lock, so two failing creations never hold the provider at the same time.
std::mutex g_providerLock;
EventEnableState g_providerEnableState;

void NTAPI OnProviderEnableChanged(LPCGUID /*sourceId*/, ULONG controlCode, UCHAR level,
                                   ULONGLONG matchAnyKeyword, ULONGLONG matchAllKeyword,
                                   PEVENT_FILTER_DESCRIPTOR /*filter*/, PVOID context) {
    if (context != nullptr) {
        ApplyEnableControl(*static_cast<EventEnableState*>(context), controlCode, level, matchAnyKeyword,
                           matchAllKeyword);
    }
}

// Holds a provider registration and ends it, clearing what the listener asked for.
class ProviderRegistration {
public:
    ProviderRegistration(const EventSink& sink, REGHANDLE handle) noexcept : sink_(sink), handle_(handle) {}
    ProviderRegistration(const ProviderRegistration&) = delete;
    ProviderRegistration& operator=(const ProviderRegistration&) = delete;
    ~ProviderRegistration() {
        sink_.eventUnregister(handle_);
        ResetEnableState(g_providerEnableState);
    }
    [[nodiscard]] REGHANDLE Handle() const noexcept { return handle_; }

private:
    const EventSink& sink_;
    REGHANDLE handle_;
};

void Describe(EVENT_DATA_DESCRIPTOR& data, const void* bytes, size_t size, ULONG kind) noexcept {
    data.Ptr = reinterpret_cast<ULONGLONG>(bytes);
    data.Size = static_cast<ULONG>(size);
    data.Reserved = kind;
}

void WriteErrorEvent(const EventSink& sink, REGHANDLE handle, const MetadataBlob& provider, HRESULT hr,
                     bool clientDllFound, bool installedRuntime) noexcept {
    MetadataBlob event;
    if (FAILED(BuildEventMetadata(kEventName, kEventFields, event))) {
        return;
    }

    EVENT_DESCRIPTOR descriptor{};
    descriptor.Id = 0;
    descriptor.Version = 0;
    descriptor.Channel = kSelfDescribingChannel;
    descriptor.Level = kLevelError;
    descriptor.Opcode = 0;
    descriptor.Task = 0;
    descriptor.Keyword = kMeasuresKeyword;

    const int32_t hrField = hr;
    const uint8_t clientDllFoundField = clientDllFound ? 1 : 0;
    const uint8_t installedRuntimeField = installedRuntime ? 1 : 0;
    const uint64_t privacyTagsField = kProductPerformancePrivacyTag;

    EVENT_DATA_DESCRIPTOR data[6]{};
    Describe(data[0], provider.bytes.data(), provider.size, kDataProviderMetadata);
    Describe(data[1], event.bytes.data(), event.size, kDataEventMetadata);
    Describe(data[2], &hrField, sizeof hrField, kDataPayload);
    Describe(data[3], &clientDllFoundField, sizeof clientDllFoundField, kDataPayload);
    Describe(data[4], &installedRuntimeField, sizeof installedRuntimeField, kDataPayload);
    Describe(data[5], &privacyTagsField, sizeof privacyTagsField, kDataPayload);
    sink.eventWriteTransfer(handle, &descriptor, nullptr, nullptr, ARRAYSIZE(data), data);
}

} // namespace

void ReportCreateEnvironmentError(HRESULT hr, bool clientDllFound, bool installedRuntime) noexcept {
    const EventSink* sink = ActiveEventSink();
    if (sink == nullptr) {
        return;
    }
    MetadataBlob provider;
    if (FAILED(BuildProviderMetadata(kProviderName, kProviderGroup, provider))) {
        return;
    }

    // std::mutex::lock only throws when the system refuses the lock; the event is then simply not written.
    std::unique_lock<std::mutex> lock(g_providerLock, std::defer_lock);
    try {
        lock.lock();
    } catch (const std::system_error&) {
        return;
    }

    ResetEnableState(g_providerEnableState);
    REGHANDLE handle = 0;
    if (sink->eventRegister(&kProviderId, OnProviderEnableChanged, &g_providerEnableState, &handle) !=
        ERROR_SUCCESS) {
        return;
    }
    const ProviderRegistration registration(*sink, handle);
    if (sink->eventSetInformation != nullptr) {
        // Without traits the event still arrives, only outside its provider group.
        static_cast<void>(
            sink->eventSetInformation(handle, kEventProviderSetTraits, provider.bytes.data(), provider.size));
    }
    if (IsEventEnabled(g_providerEnableState, kLevelError, kMeasuresKeyword)) {
        WriteErrorEvent(*sink, handle, provider, hr, clientDllFound, installedRuntime);
    }
}
