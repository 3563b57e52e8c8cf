#include "loader/event_metadata.h"

namespace {

constexpr uint8_t kProviderGroupTrait = 1;
constexpr uint8_t kNoTags = 0;
constexpr uint8_t kOutTypeFollows = 0x80;

// In-types and out-types of the self-describing format (the compact codes, not the TDH values).
constexpr uint8_t kInTypeInt32 = 7;
constexpr uint8_t kInTypeUInt8 = 4;
constexpr uint8_t kInTypeUInt64 = 10;
constexpr uint8_t kOutTypeHResult = 15;
constexpr uint8_t kOutTypeBoolean = 3;

// Appends to a blob while it fits; remembers an overflow instead of failing each call.
class BlobWriter {
public:
    explicit BlobWriter(MetadataBlob& blob) noexcept : blob_(blob) {
        blob_.bytes.fill(0);
        blob_.size = 0;
        position_ = sizeof(uint16_t); // the size field, written by Finish
    }

    void Byte(uint8_t value) noexcept {
        if (position_ < blob_.bytes.size()) {
            blob_.bytes[position_] = value;
        } else {
            overflow_ = true;
        }
        ++position_;
    }
    void UInt16(uint16_t value) noexcept {
        Byte(static_cast<uint8_t>(value & 0xFF));
        Byte(static_cast<uint8_t>(value >> 8));
    }
    void UInt32(uint32_t value) noexcept {
        UInt16(static_cast<uint16_t>(value & 0xFFFF));
        UInt16(static_cast<uint16_t>(value >> 16));
    }
    // A NUL-terminated UTF-8 name.
    void Name(std::string_view name) noexcept {
        for (const char c : name) {
            Byte(static_cast<uint8_t>(c));
        }
        Byte(0);
    }
    // Data1, Data2 and Data3 little-endian, then Data4 as it stands: the GUID's memory order.
    void Guid(const GUID& id) noexcept {
        UInt32(id.Data1);
        UInt16(id.Data2);
        UInt16(id.Data3);
        for (const unsigned char b : id.Data4) {
            Byte(b);
        }
    }
    // Writes the total size at the start.
    HRESULT Finish() noexcept {
        if (overflow_ || position_ > blob_.bytes.size()) {
            blob_.bytes.fill(0);
            blob_.size = 0;
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        blob_.size = static_cast<uint16_t>(position_);
        blob_.bytes[0] = static_cast<uint8_t>(blob_.size & 0xFF);
        blob_.bytes[1] = static_cast<uint8_t>(blob_.size >> 8);
        return S_OK;
    }

private:
    MetadataBlob& blob_;
    size_t position_ = 0;
    bool overflow_ = false;
};

bool IsValidName(std::string_view name) noexcept {
    return name.find('\0') == std::string_view::npos;
}

void WriteFieldType(BlobWriter& writer, EventFieldType type) noexcept {
    switch (type) {
    case EventFieldType::HResult:
        writer.Byte(kInTypeInt32 | kOutTypeFollows);
        writer.Byte(kOutTypeHResult);
        break;
    case EventFieldType::Boolean8:
        writer.Byte(kInTypeUInt8 | kOutTypeFollows);
        writer.Byte(kOutTypeBoolean);
        break;
    case EventFieldType::UInt64:
        writer.Byte(kInTypeUInt64);
        break;
    }
}

} // namespace

HRESULT BuildProviderMetadata(std::string_view providerName, const GUID& groupId,
                              MetadataBlob& blob) noexcept {
    if (!IsValidName(providerName)) {
        return E_INVALIDARG;
    }
    BlobWriter writer(blob);
    writer.Name(providerName);
    constexpr uint16_t kGroupTraitSize = sizeof(uint16_t) + sizeof(uint8_t) + sizeof(GUID); // 19
    writer.UInt16(kGroupTraitSize);
    writer.Byte(kProviderGroupTrait);
    writer.Guid(groupId);
    return writer.Finish();
}

HRESULT BuildEventMetadata(std::string_view eventName, std::span<const EventFieldMetadata> fields,
                           MetadataBlob& blob) noexcept {
    if (!IsValidName(eventName)) {
        return E_INVALIDARG;
    }
    for (const EventFieldMetadata& field : fields) {
        if (!IsValidName(field.name)) {
            return E_INVALIDARG;
        }
    }
    BlobWriter writer(blob);
    writer.Byte(kNoTags);
    writer.Name(eventName);
    for (const EventFieldMetadata& field : fields) {
        writer.Name(field.name);
        WriteFieldType(writer, field.type);
    }
    return writer.Finish();
}
