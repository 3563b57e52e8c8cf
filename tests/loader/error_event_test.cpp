#include "environment_test_support.h"
#include "loader/error_event.h"
#include "loader/event_enable_state.h"

#include <bcrypt.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr ULONGLONG kMeasures = 0x0000400000000000;
constexpr UCHAR kEnable = 1;
constexpr UCHAR kDisable = 0;

// --- blob decoding: the self-describing layout read back independently of the writer --------------

struct DecodedField {
    std::string name;
    uint8_t inType; // without the 0x80 flag
    int outType;    // -1 when none follows
};

struct DecodedEvent {
    uint16_t statedSize = 0;
    uint8_t tags = 0xFF;
    std::string name;
    std::vector<DecodedField> fields;
};

struct DecodedProvider {
    uint16_t statedSize = 0;
    std::string name;
    uint16_t traitSize = 0;
    uint8_t traitType = 0;
    std::vector<uint8_t> traitData;
};

// Reads a NUL-terminated name at `position`; false when it runs off the end.
bool ReadName(const std::vector<uint8_t>& bytes, size_t& position, std::string& name) {
    name.clear();
    while (position < bytes.size() && bytes[position] != 0) {
        name.push_back(static_cast<char>(bytes[position++]));
    }
    if (position >= bytes.size()) {
        return false;
    }
    ++position;
    return true;
}

std::optional<DecodedEvent> DecodeEvent(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 4) {
        return std::nullopt;
    }
    DecodedEvent event;
    event.statedSize = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    event.tags = bytes[2];
    size_t position = 3;
    if (!ReadName(bytes, position, event.name)) {
        return std::nullopt;
    }
    while (position < bytes.size()) {
        DecodedField field;
        if (!ReadName(bytes, position, field.name) || position >= bytes.size()) {
            return std::nullopt;
        }
        const uint8_t inType = bytes[position++];
        field.inType = inType & 0x7F;
        field.outType = -1;
        if ((inType & 0x80) != 0) {
            if (position >= bytes.size()) {
                return std::nullopt;
            }
            field.outType = bytes[position++];
        }
        event.fields.push_back(field);
    }
    return event;
}

std::optional<DecodedProvider> DecodeProvider(const std::vector<uint8_t>& bytes) {
    DecodedProvider provider;
    if (bytes.size() < 3) {
        return std::nullopt;
    }
    provider.statedSize = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    size_t position = 2;
    if (!ReadName(bytes, position, provider.name) || position + 3 > bytes.size()) {
        return std::nullopt;
    }
    provider.traitSize = static_cast<uint16_t>(bytes[position] | bytes[position + 1] << 8);
    provider.traitType = bytes[position + 2];
    if (position + provider.traitSize != bytes.size()) {
        return std::nullopt; // exactly one trait, filling the rest
    }
    provider.traitData.assign(bytes.begin() + static_cast<ptrdiff_t>(position + 3), bytes.end());
    return provider;
}

std::vector<uint8_t> GuidBytes(const GUID& id) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&id);
    return std::vector<uint8_t>(bytes, bytes + sizeof id);
}

// --- provider id from its name ------------------------------------------------------------------

std::vector<uint8_t> Sha1(const std::vector<uint8_t>& data) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    std::vector<uint8_t> digest(20);
    const bool ok =
        BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA1_ALGORITHM, nullptr, 0)) &&
        BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)) &&
        BCRYPT_SUCCESS(
            ::BCryptHashData(hash, const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()), 0)) &&
        BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest.data(), 20, 0));
    if (hash != nullptr) {
        ::BCryptDestroyHash(hash);
    }
    if (algorithm != nullptr) {
        ::BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    return ok ? digest : std::vector<uint8_t>();
}

// The name-based id of a self-describing provider: SHA-1 over a fixed namespace and the upper-cased
// name in UTF-16 big-endian, version nibble 5, read as a little-endian GUID.
std::optional<GUID> ProviderIdFromName(const std::string& name) {
    std::vector<uint8_t> data = {0x48, 0x2C, 0x2D, 0xB2, 0xC3, 0x90, 0x47, 0xC8,
                                 0x87, 0xF8, 0x1A, 0x15, 0xBF, 0xC1, 0x30, 0xFB};
    for (const char c : name) {
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        data.push_back(0);
        data.push_back(static_cast<uint8_t>(upper));
    }
    std::vector<uint8_t> hash = Sha1(data);
    if (hash.size() != 20) {
        return std::nullopt;
    }
    hash[7] = static_cast<uint8_t>((hash[7] & 0x0F) | 0x50);
    GUID id;
    std::memcpy(&id, hash.data(), sizeof id);
    return id;
}

TEST(ProviderId, NameHashGivesThePublishedIds) {
    constexpr GUID kMyProvider = {
        0xB3864C38, 0x4273, 0x58C5, {0x54, 0x5B, 0x8B, 0x36, 0x08, 0x34, 0x34, 0x71}};
    const std::optional<GUID> id = ProviderIdFromName("MyProvider");
    ASSERT_TRUE(id.has_value());
    EXPECT_TRUE(IsEqualGUID(*id, kMyProvider));
}

// --- the written event ---------------------------------------------------------------------------

TEST(ErrorEvent, WritesTheSelfDescribingEventAndUnregisters) {
    EventRecorder events;
    ReportCreateEnvironmentError(static_cast<HRESULT>(0x80070002), false, true);

    // The provider: registered under the id its name hashes to, once, and given its group trait.
    ASSERT_EQ(events.Registrations(), 1);
    const std::optional<GUID> expectedId = ProviderIdFromName("Microsoft.MSEdgeWebView.Loader");
    ASSERT_TRUE(expectedId.has_value());
    EXPECT_TRUE(IsEqualGUID(events.ProviderIds()[0], *expectedId));
    constexpr GUID kPublishedId = {
        0x951DDD7E, 0xF2FF, 0x5B3F, {0x71, 0x37, 0xE2, 0xF1, 0xA0, 0xDD, 0x98, 0x04}};
    EXPECT_TRUE(IsEqualGUID(events.ProviderIds()[0], kPublishedId));

    const std::vector<RecordedTraits> traits = events.Traits();
    ASSERT_EQ(traits.size(), 1u);
    EXPECT_EQ(traits[0].informationClass, 2); // provider traits
    const std::optional<DecodedProvider> provider = DecodeProvider(traits[0].bytes);
    ASSERT_TRUE(provider.has_value());
    EXPECT_EQ(provider->statedSize, traits[0].bytes.size());
    EXPECT_EQ(provider->name, "Microsoft.MSEdgeWebView.Loader");
    EXPECT_EQ(provider->traitSize, 19);
    EXPECT_EQ(provider->traitType, 1); // provider group
    constexpr GUID kGroup = {0x4F50731A, 0x89CF, 0x4782, {0xB3, 0xE0, 0xDC, 0xE8, 0xC9, 0x04, 0x76, 0xBA}};
    EXPECT_EQ(provider->traitData, GuidBytes(kGroup));

    // The event: descriptor, metadata blobs, payload.
    const std::vector<RecordedWrite> writes = events.Writes();
    ASSERT_EQ(writes.size(), 1u);
    const RecordedWrite& write = writes[0];
    EXPECT_EQ(write.handle, traits[0].handle);
    EXPECT_TRUE(write.activityIdsNull);
    EXPECT_EQ(write.descriptor.Id, 0);
    EXPECT_EQ(write.descriptor.Version, 0);
    EXPECT_EQ(write.descriptor.Channel, 11);
    EXPECT_EQ(write.descriptor.Level, 2);
    EXPECT_EQ(write.descriptor.Opcode, 0);
    EXPECT_EQ(write.descriptor.Task, 0);
    EXPECT_EQ(write.descriptor.Keyword, kMeasures);

    ASSERT_EQ(write.data.size(), 6u);
    const ULONG expectedKinds[] = {2, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(write.data[i].reserved, expectedKinds[i]) << "data descriptor " << i;
    }
    EXPECT_EQ(write.data[0].bytes, traits[0].bytes);

    const std::optional<DecodedEvent> event = DecodeEvent(write.data[1].bytes);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->statedSize, write.data[1].bytes.size());
    EXPECT_EQ(event->tags, 0);
    EXPECT_EQ(event->name, "CreateWebViewEnvironmentError");
    ASSERT_EQ(event->fields.size(), 4u);
    const struct {
        const char* name;
        uint8_t inType;
        int outType;
    } expectedFields[] = {
        {"HRESULT", 7, 15}, {"ClientDllFound", 4, 3}, {"InstalledRuntime", 4, 3}, {"PartA_PrivTags", 10, -1}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(event->fields[i].name, expectedFields[i].name);
        EXPECT_EQ(event->fields[i].inType, expectedFields[i].inType) << expectedFields[i].name;
        EXPECT_EQ(event->fields[i].outType, expectedFields[i].outType) << expectedFields[i].name;
    }

    EXPECT_EQ(write.data[2].bytes, (std::vector<uint8_t>{0x02, 0x00, 0x07, 0x80}));
    EXPECT_EQ(write.data[3].bytes, (std::vector<uint8_t>{0x00}));
    EXPECT_EQ(write.data[4].bytes, (std::vector<uint8_t>{0x01}));
    EXPECT_EQ(write.data[5].bytes, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));

    // Registered for this one event only.
    EXPECT_EQ(events.UnregisteredHandles(), std::vector<REGHANDLE>{write.handle});
}

TEST(ErrorEvent, FieldValuesFollowTheArguments) {
    EventRecorder events;
    ReportCreateEnvironmentError(static_cast<HRESULT>(0x8007007E), true, false);
    ReportCreateEnvironmentError(E_FAIL, true, true);
    const std::vector<RecordedWrite> writes = events.Writes();
    ASSERT_EQ(writes.size(), 2u);
    const auto first = ReadErrorEventFields(writes[0]);
    const auto second = ReadErrorEventFields(writes[1]);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->hr, static_cast<int32_t>(0x8007007E));
    EXPECT_EQ(first->clientDllFound, 1);
    EXPECT_EQ(first->installedRuntime, 0);
    EXPECT_EQ(second->hr, E_FAIL);
    EXPECT_EQ(second->installedRuntime, 1);
    EXPECT_EQ(second->privacyTags, 0x1000000u);
    EXPECT_EQ(events.Registrations(), 2);
    EXPECT_EQ(events.Unregistrations(), 2);
}

// --- when a listener wants the event -----------------------------------------------------------

struct EnableCase {
    const char* what;
    std::vector<ListenerControl> controls;
    bool written;
};

TEST(ErrorEvent, WrittenOnlyWhenErrorLevelAndTheMeasuresKeywordAreEnabled) {
    const EnableCase cases[] = {
        {"no listener", {}, false},
        {"every level, any keyword", {{kEnable, 0, ~0ULL, 0}}, true},
        {"level 2, measures", {{kEnable, 2, kMeasures, 0}}, true},
        {"level 1 (critical only)", {{kEnable, 1, kMeasures, 0}}, false},
        {"level 5", {{kEnable, 5, kMeasures, 0}}, true},
        {"no keyword selected", {{kEnable, 5, 0, 0}}, false},
        {"another keyword only", {{kEnable, 5, 0x1, 0}}, false},
        {"measures among others", {{kEnable, 5, 0x1 | kMeasures, 0}}, true},
        {"all-mask met", {{kEnable, 5, ~0ULL, kMeasures}}, true},
        {"all-mask demands more", {{kEnable, 5, ~0ULL, kMeasures | 0x1}}, false},
        {"enabled then disabled", {{kEnable, 5, ~0ULL, 0}, {kDisable, 0, 0, 0}}, false},
        {"disabled then enabled", {{kDisable, 0, 0, 0}, {kEnable, 4, kMeasures, 0}}, true},
        {"capture-state request alone", {{2, 5, ~0ULL, 0}}, false},
        {"capture-state request keeps the state", {{kEnable, 4, kMeasures, 0}, {2, 0, 0, 0}}, true},
    };
    for (const EnableCase& c : cases) {
        EventRecorder events;
        events.SetListener(c.controls);
        ReportCreateEnvironmentError(E_FAIL, false, true);
        EXPECT_EQ(events.Writes().size(), c.written ? 1u : 0u) << c.what;
        EXPECT_EQ(events.Registrations(), 1) << c.what;
        EXPECT_EQ(events.Unregistrations(), 1) << c.what;
    }
}

TEST(ErrorEvent, ListenerStateDoesNotOutliveTheRegistration) {
    EventRecorder events;
    ReportCreateEnvironmentError(E_FAIL, false, true);
    events.SetListener({});
    ReportCreateEnvironmentError(E_FAIL, false, true);
    EXPECT_EQ(events.Writes().size(), 1u);
}

TEST(EventEnableState, KeywordZeroNeedsOnlyTheLevel) {
    EventEnableState state;
    ApplyEnableControl(state, kEventControlEnable, 3, 0, 0);
    EXPECT_TRUE(IsEventEnabled(state, 3, 0));
    EXPECT_FALSE(IsEventEnabled(state, 4, 0));
    EXPECT_FALSE(IsEventEnabled(state, 3, kMeasures));
    ResetEnableState(state);
    EXPECT_FALSE(IsEventEnabled(state, 0, 0));
}

// --- failures of the tracing system --------------------------------------------------------------

TEST(ErrorEvent, FailedRegistrationWritesNothingAndUnregistersNothing) {
    EventRecorder events;
    events.FailRegistration(ERROR_ACCESS_DENIED);
    ReportCreateEnvironmentError(E_FAIL, false, true);
    EXPECT_TRUE(events.Traits().empty());
    EXPECT_TRUE(events.Writes().empty());
    EXPECT_EQ(events.Unregistrations(), 0);
}

TEST(ErrorEvent, WrittenEvenWithoutProviderTraitsSupport) {
    EventRecorder events;
    events.RemoveSetInformation();
    ReportCreateEnvironmentError(E_FAIL, false, true);
    EXPECT_EQ(events.Writes().size(), 1u);
    EXPECT_EQ(events.Unregistrations(), 1);
}

TEST(ErrorEvent, ReportsFromSeveralThreadsNeverHoldTheProviderTogether) {
    EventRecorder events;
    constexpr int kPerThread = 40;
    std::thread other([] {
        for (int i = 0; i < kPerThread; ++i) {
            ReportCreateEnvironmentError(E_FAIL, false, true);
        }
    });
    for (int i = 0; i < kPerThread; ++i) {
        ReportCreateEnvironmentError(E_ABORT, true, false);
    }
    other.join();
    EXPECT_EQ(events.Registrations(), 2 * kPerThread);
    EXPECT_EQ(events.Writes().size(), static_cast<size_t>(2 * kPerThread));
    EXPECT_EQ(events.MostRegisteredAtOnce(), 1);
}

TEST(SystemEventSink, AdvapiProvidesTheTracingFunctions) {
    const EventSink* sink = SystemEventSink();
    ASSERT_NE(sink, nullptr);
    EXPECT_NE(sink->eventRegister, nullptr);
    EXPECT_NE(sink->eventWriteTransfer, nullptr);
    EXPECT_NE(sink->eventUnregister, nullptr);
    // With no substitute the real functions run; without a listener they write nothing, and must not fail.
    ReportCreateEnvironmentError(E_FAIL, false, true);
}

} // namespace
