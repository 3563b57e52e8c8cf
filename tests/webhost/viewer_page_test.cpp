#include "webhost/serving/viewer_page.h"

#include "webhost/serving/embedded_resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::wstring kUri = L"data:image/jpeg;base64,QUJD";

struct InjectCase {
    const char* what;
    std::wstring page;
    std::wstring uri;
    std::wstring expected;
};

class InjectTable : public ::testing::TestWithParam<InjectCase> {};

TEST_P(InjectTable, InjectsIntoTheFirstEmptyAttributeOnly) {
    std::wstring page = GetParam().page;
    InjectImageDataUri(page, GetParam().uri);
    EXPECT_EQ(page, GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, InjectTable,
    ::testing::Values(
        InjectCase{"the one attribute", L"<div id=\"qrData\" data-src=\"\"></div>", kUri,
                   L"<div id=\"qrData\" data-src=\"" + kUri + L"\"></div>"},
        InjectCase{"first of two", L"<a data-src=\"\"><b data-src=\"\">", kUri,
                   L"<a data-src=\"" + kUri + L"\"><b data-src=\"\">"},
        InjectCase{"pattern at the very end", L"x data-src=\"\"", kUri, L"x data-src=\"" + kUri + L"\""},
        InjectCase{"pattern is the whole text", L"data-src=\"\"", kUri, L"data-src=\"" + kUri + L"\""},
        InjectCase{"empty URI changes nothing", L"<a data-src=\"\">", L"", L"<a data-src=\"\">"},
        InjectCase{"attribute with a value", L"<a data-src=\"x\">", kUri, L"<a data-src=\"x\">"},
        InjectCase{"single quotes", L"<a data-src=''>", kUri, L"<a data-src=''>"},
        InjectCase{"space before equals", L"<a data-src =\"\">", kUri, L"<a data-src =\"\">"},
        InjectCase{"space after equals", L"<a data-src= \"\">", kUri, L"<a data-src= \"\">"},
        InjectCase{"case differs", L"<a DATA-SRC=\"\">", kUri, L"<a DATA-SRC=\"\">"},
        InjectCase{"cut short at the end", L"<a data-src=\"", kUri, L"<a data-src=\""},
        InjectCase{"empty page", L"", kUri, L""},
        InjectCase{"first empty one after a filled one", L"<a data-src=\"y\"><b data-src=\"\">", kUri,
                   L"<a data-src=\"y\"><b data-src=\"" + kUri + L"\">"}));

TEST(ImageDataUri, IsThePrefixAndTheBase64Text) {
    const unsigned char bytes[] = {0x00, 0xFF, 0x80, 0x7F, 0x41};
    EXPECT_EQ(ImageDataUri(bytes), L"data:image/jpeg;base64,AP+Af0E=");
}

TEST(ImageDataUri, OfNoBytesIsThePrefixAloneAndStillInjected) {
    const std::wstring uri = ImageDataUri({});
    EXPECT_EQ(uri, L"data:image/jpeg;base64,");
    std::wstring page = L"<a data-src=\"\">";
    InjectImageDataUri(page, uri);
    EXPECT_EQ(page, L"<a data-src=\"data:image/jpeg;base64,\">");
}

// The test program embeds its own RCDATA 101 and 102 (fixtures/).
TEST(ViewerPageResources, PageIsDecodedLenientlyWithItsByteOrderMark) {
    const std::wstring page = LoadViewerPageText();
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(page.front(), L'\xFEFF');
    EXPECT_NE(page.find(L"<p>\u67E5\u770B\u5668</p>"), std::wstring::npos);
    EXPECT_NE(page.find(L"bad \xFFFD byte"), std::wstring::npos);
    EXPECT_EQ(page.back(), L'\n');
}

TEST(ViewerPageResources, ImageBecomesADataUri) {
    EXPECT_EQ(LoadImageDataUri(), L"data:image/jpeg;base64,AP+Af0E=");
}

TEST(ViewerPageResources, PreparedPageHasTheImageInItsFirstEmptyAttribute) {
    std::wstring page = LoadViewerPageText();
    InjectImageDataUri(page, LoadImageDataUri());
    EXPECT_NE(page.find(L"id=\"qrData\" data-src=\"data:image/jpeg;base64,AP+Af0E=\""), std::wstring::npos);
    EXPECT_NE(page.find(L"<img data-src=\"\">"), std::wstring::npos);
}

TEST(ViewerPageResources, MissingResourcesGiveEmptyTexts) {
    // A module that has no RCDATA 101 or 102 of its own.
    const HMODULE module = ::GetModuleHandleW(L"kernel32.dll");
    ASSERT_FALSE(FindRcData(module, kViewerPageResourceId));
    ASSERT_FALSE(FindRcData(module, kSupportImageResourceId));
    EXPECT_EQ(LoadViewerPageText(module), L"");
    EXPECT_EQ(LoadImageDataUri(module), L"");
}

} // namespace
