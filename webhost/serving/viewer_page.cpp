#include "webhost/serving/viewer_page.h"

#include "platform/utf8.h"
#include "webhost/text/base64.h"
#include "webhost/serving/embedded_resource.h"

#include <string_view>

namespace {
constexpr std::wstring_view kDataUriPrefix = L"data:image/jpeg;base64,";
constexpr std::wstring_view kEmptyDataSrc = L"data-src=\"\"";
constexpr std::wstring_view kDataSrcOpen = L"data-src=\"";
} // namespace

std::wstring LoadViewerPageText(HMODULE module) {
    const auto bytes = FindRcData(module, kViewerPageResourceId);
    if (!bytes) {
        return {};
    }
    return DecodeUtf8(reinterpret_cast<const char*>(bytes->data()), bytes->size());
}

std::wstring ImageDataUri(std::span<const unsigned char> bytes) {
    const std::string base64 = Base64Encode(bytes.data(), bytes.size());
    std::wstring uri;
    uri.reserve(kDataUriPrefix.size() + base64.size());
    uri.append(kDataUriPrefix);
    // Base64 is plain ASCII: each character widens to one code unit.
    uri.append(base64.begin(), base64.end());
    return uri;
}

std::wstring LoadImageDataUri(HMODULE module) {
    const auto bytes = FindRcData(module, kSupportImageResourceId);
    if (!bytes) {
        return {};
    }
    return ImageDataUri(*bytes);
}

void InjectImageDataUri(std::wstring& pageText, const std::wstring& dataUri) {
    if (dataUri.empty()) {
        return;
    }
    const size_t at = pageText.find(kEmptyDataSrc);
    if (at == std::wstring::npos) {
        return;
    }
    // The URI is the literal prefix and Base64 characters only, so it needs no escaping inside the
    // double-quoted attribute.
    std::wstring filled;
    filled.reserve(kDataSrcOpen.size() + dataUri.size() + 1);
    filled.append(kDataSrcOpen).append(dataUri).push_back(L'"');
    pageText.replace(at, kEmptyDataSrc.size(), filled);
}
