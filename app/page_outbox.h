// Messages to the page leave in the order the host made them. A document's delivery is read and made on
// a worker (open_document.h), so the messages made after it (the history's news, an export's request)
// wait for it until it is posted, or until it is called off because another document took its place.
#pragma once

#include <cstdint>
#include <string>

// A place kept in the order for a delivery on its way; 0 when there was no memory to keep one (the
// delivery is then posted whenever it is ready).
using DeliveryPlace = uint64_t;

// Keeps a place for a delivery; the messages posted after this wait behind it.
DeliveryPlace KeepPlaceForDelivery() noexcept;

// The delivery of `place` is ready as `message` (empty: it came to nothing): it leaves, with the messages
// that waited behind it. Nothing when it was called off meanwhile.
void FillPlace(DeliveryPlace place, const std::wstring& message) noexcept;

// Every delivery on its way is called off: the messages behind them leave now, and their results, when
// they come, are dropped.
void CallOffDeliveries() noexcept;

// Posts `message` to the web view, now or behind the deliveries on their way. A failure of the post itself
// (out of memory) escapes when it is posted at once; nothing without a web view.
void PostToPage(const std::wstring& message);
