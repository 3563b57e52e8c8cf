// The event-tracing functions that the loader's error event goes through. Production uses ADVAPI32's;
// a test substitutes its own, because Wine never calls an enable callback and drops every event.
#pragma once

#include <windows.h>
#include <evntprov.h>

struct EventSink {
    ULONG(WINAPI* eventRegister)
    (LPCGUID providerId, PENABLECALLBACK enableCallback, PVOID callbackContext, PREGHANDLE handle) = nullptr;
    // May be null: systems without it simply get no provider traits.
    ULONG(WINAPI* eventSetInformation)
    (REGHANDLE handle, EVENT_INFO_CLASS informationClass, PVOID information,
     ULONG informationLength) = nullptr;
    ULONG(WINAPI* eventWriteTransfer)
    (REGHANDLE handle, PCEVENT_DESCRIPTOR descriptor, LPCGUID activityId, LPCGUID relatedActivityId,
     ULONG dataCount, PEVENT_DATA_DESCRIPTOR data) = nullptr;
    ULONG(WINAPI* eventUnregister)(REGHANDLE handle) = nullptr;
};

// ADVAPI32's functions, from the copy in the system folder, loaded once per process and kept. Null when
// the library or any of EventRegister, EventWriteTransfer and EventUnregister is missing.
const EventSink* SystemEventSink() noexcept;

// The sink that events go to: a substitute when one is set, else the system's (which may be null).
const EventSink* ActiveEventSink() noexcept;

// Replaces the system's sink until called again with null. For tests.
void SetEventSinkOverride(const EventSink* sink) noexcept;
