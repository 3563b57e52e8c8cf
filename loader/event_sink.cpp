#include "loader/event_sink.h"

#include "platform/module_export.h"
#include "platform/unique_handle.h"

#include <atomic>
#include <optional>

namespace {

std::atomic<const EventSink*> g_sinkOverride{nullptr};

std::optional<EventSink> LoadSystemEventSink() noexcept {
    // Only the system folder's copy: a library of that name beside the program must not be picked up.
    UniqueModule advapi(::LoadLibraryExW(L"ADVAPI32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!advapi) {
        return std::nullopt;
    }
    EventSink sink;
    sink.eventRegister = FindExport<decltype(sink.eventRegister)>(advapi.get(), "EventRegister");
    sink.eventSetInformation =
        FindExport<decltype(sink.eventSetInformation)>(advapi.get(), "EventSetInformation");
    sink.eventWriteTransfer =
        FindExport<decltype(sink.eventWriteTransfer)>(advapi.get(), "EventWriteTransfer");
    sink.eventUnregister = FindExport<decltype(sink.eventUnregister)>(advapi.get(), "EventUnregister");
    if (sink.eventRegister == nullptr || sink.eventWriteTransfer == nullptr ||
        sink.eventUnregister == nullptr) {
        return std::nullopt;
    }
    // The functions are used for the life of the process, so the library stays loaded.
    static_cast<void>(advapi.release());
    return sink;
}

} // namespace

const EventSink* SystemEventSink() noexcept {
    static const std::optional<EventSink> sink = LoadSystemEventSink();
    return sink ? &*sink : nullptr;
}

const EventSink* ActiveEventSink() noexcept {
    const EventSink* substitute = g_sinkOverride.load();
    return substitute != nullptr ? substitute : SystemEventSink();
}

void SetEventSinkOverride(const EventSink* sink) noexcept {
    g_sinkOverride.store(sink);
}
