// Byte layouts of self-describing event-tracing metadata: the provider traits that EventSetInformation
// receives and the event metadata written in front of every event's payload.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The field encodings the loader's event uses.
enum class EventFieldType : uint8_t {
    HResult,  // 32-bit signed integer shown as an HRESULT
    Boolean8, // 8-bit unsigned integer shown as a boolean
    UInt64,   // 64-bit unsigned integer
};

struct EventFieldMetadata {
    std::string_view name; // UTF-8, without NUL characters
    EventFieldType type;
};

// A blob's capacity. The format allows 65535 bytes (its size field is 16 bits); the loader's one provider
// and one event need less than 100, so a small fixed buffer avoids any allocation on the error path.
inline constexpr size_t kMaxMetadataBlobSize = 256;

struct MetadataBlob {
    std::array<uint8_t, kMaxMetadataBlobSize> bytes{};
    uint16_t size = 0; // bytes in use, equal to the size that the blob states at its start
};

// Provider traits: size, name, and one provider-group trait. E_INVALIDARG for a name with a NUL
// character, HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when the blob would not fit.
HRESULT BuildProviderMetadata(std::string_view providerName, const GUID& groupId,
                              MetadataBlob& blob) noexcept;

// Event metadata: size, no tags, event name, then each field's name and type bytes in order. The same
// failures as above.
HRESULT BuildEventMetadata(std::string_view eventName, std::span<const EventFieldMetadata> fields,
                           MetadataBlob& blob) noexcept;
