#include "loader/event_sink.h"

#include "platform/unique_handle.h"

#include <atomic>
#include <optional>

namespace {

std::atomic<const EventSink*> g_sinkOverride{nullptr};

template <typename Function> void LookUp(HMODULE module, const char* name, Function& function) noexcept {
    // FARPROC is a generic function pointer; going through void* keeps the conversion free of warnings.
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

std::optional<EventSink> LoadSystemEventSink() noexcept {
    // Only the system folder's copy: a library of that name beside the program must not be picked up.
    UniqueModule advapi(::LoadLibraryExW(L"ADVAPI32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!advapi) {
        return std::nullopt;
    }
    EventSink sink;
    LookUp(advapi.get(), "EventRegister", sink.eventRegister);
    LookUp(advapi.get(), "EventSetInformation", sink.eventSetInformation);
    LookUp(advapi.get(), "EventWriteTransfer", sink.eventWriteTransfer);
    LookUp(advapi.get(), "EventUnregister", sink.eventUnregister);
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
