#include "loader/event_metadata.h"
#include "loader/hresult_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> BytesOf(const MetadataBlob& blob) {
    return std::vector<uint8_t>(blob.bytes.begin(), blob.bytes.begin() + blob.size);
}

constexpr GUID kExampleGroup = {0x4F50731A, 0x89CF, 0x4782, {0xB3, 0xE0, 0xDC, 0xE8, 0xC9, 0x04, 0x76, 0xBA}};

TEST(ProviderMetadata, MatchesThePublishedExample) {
    MetadataBlob blob;
    ASSERT_EQ(BuildProviderMetadata("MyProvider", kExampleGroup, blob), S_OK);
    const std::vector<uint8_t> expected = {0x20, 0x00, 0x4d, 0x79, 0x50, 0x72, 0x6f, 0x76, 0x69, 0x64, 0x65,
                                           0x72, 0x00, 0x13, 0x00, 0x01, 0x1a, 0x73, 0x50, 0x4f, 0xcf, 0x89,
                                           0x82, 0x47, 0xb3, 0xe0, 0xdc, 0xe8, 0xc9, 0x04, 0x76, 0xba};
    EXPECT_EQ(BytesOf(blob), expected);
}

TEST(EventMetadata, MatchesThePublishedExample) {
    const EventFieldMetadata fields[] = {{"A", EventFieldType::HResult},
                                         {"B", EventFieldType::Boolean8},
                                         {"PartA_PrivTags", EventFieldType::UInt64}};
    MetadataBlob blob;
    ASSERT_EQ(BuildEventMetadata("Ev", fields, blob), S_OK);
    const std::vector<uint8_t> expected = {0x1e, 0x00, 0x00, 0x45, 0x76, 0x00, 0x41, 0x00, 0x87, 0x0f,
                                           0x42, 0x00, 0x84, 0x03, 0x50, 0x61, 0x72, 0x74, 0x41, 0x5f,
                                           0x50, 0x72, 0x69, 0x76, 0x54, 0x61, 0x67, 0x73, 0x00, 0x0a};
    EXPECT_EQ(BytesOf(blob), expected);
}

TEST(EventMetadata, EventWithoutFieldsIsSizeTagsAndName) {
    MetadataBlob blob;
    ASSERT_EQ(BuildEventMetadata("E", {}, blob), S_OK);
    EXPECT_EQ(BytesOf(blob), (std::vector<uint8_t>{0x05, 0x00, 0x00, 0x45, 0x00}));
}

TEST(Metadata, RefusesWhatCannotBeWrittenAndLeavesAnEmptyBlob) {
    const std::string longName(kMaxMetadataBlobSize, 'x');
    const std::string fitting(kMaxMetadataBlobSize - 2 - 1 - 1, 'x'); // size, tags and NUL leave this much
    const EventFieldMetadata withNul[] = {{std::string_view("a\0b", 3), EventFieldType::UInt64}};
    MetadataBlob blob;

    EXPECT_EQ(BuildEventMetadata(fitting, {}, blob), S_OK);
    EXPECT_EQ(blob.size, kMaxMetadataBlobSize);
    EXPECT_EQ(BuildEventMetadata(fitting + "x", {}, blob), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(blob.size, 0);
    EXPECT_EQ(BuildProviderMetadata(longName, kExampleGroup, blob),
              HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(blob.size, 0);
    EXPECT_EQ(BuildProviderMetadata(std::string_view("My\0Provider", 11), kExampleGroup, blob), E_INVALIDARG);
    EXPECT_EQ(BuildEventMetadata("Ev", withNul, blob), E_INVALIDARG);
}

TEST(FormatHResultHex, EightUpperCaseDigitsMostSignificantFirst) {
    const struct {
        HRESULT hr;
        const wchar_t* text;
    } cases[] = {
        {static_cast<HRESULT>(0x8007007E), L"8007007E"}, {S_OK, L"00000000"},
        {static_cast<HRESULT>(0x80070002), L"80070002"}, {static_cast<HRESULT>(0xFFFFFFFF), L"FFFFFFFF"},
        {static_cast<HRESULT>(0x0ABCDEF1), L"0ABCDEF1"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(FormatHResultHex(c.hr).data(), c.text);
    }
}

} // namespace
