#include "webhost/host_messages.h"

#include "webhost/json_escape.h"

namespace {
constexpr std::wstring_view kOpenFileHead = L"{\"action\":\"openFile\",\"name\":\"";
constexpr std::wstring_view kOpenFileMiddle = L"\",\"content\":\"";
constexpr std::wstring_view kOpenFileGeneration = L"\",\"generation\":";
constexpr std::wstring_view kOpenFileTail = L"}";
constexpr std::wstring_view kReadyWord = L"\"ready\"";
constexpr std::wstring_view kCloseDocWord = L"\"closeDoc\"";
constexpr std::wstring_view kGenerationMember = L"\"generation\":";
} // namespace

std::wstring ComposeOpenFileMessage(std::wstring_view name, std::wstring_view content, uint32_t generation) {
    const std::wstring number = std::to_wstring(generation);
    std::wstring message;
    // The exact final size up front: the whole document is then copied once, never regrown.
    message.reserve(kOpenFileHead.size() + JsonEscapedLength(name) + kOpenFileMiddle.size() +
                    JsonEscapedLength(content) + kOpenFileGeneration.size() + number.size() +
                    kOpenFileTail.size());
    message.append(kOpenFileHead);
    AppendJsonEscaped(message, name);
    message.append(kOpenFileMiddle);
    AppendJsonEscaped(message, content);
    message.append(kOpenFileGeneration).append(number).append(kOpenFileTail);
    return message;
}

PageMessage ClassifyPageMessage(std::wstring_view json) {
    if (json.size() >= kReadyWord.size() && json.find(kReadyWord) != std::wstring_view::npos) {
        return PageMessage::Ready;
    }
    if (json.size() >= kCloseDocWord.size() && json.find(kCloseDocWord) != std::wstring_view::npos) {
        return PageMessage::CloseDoc;
    }
    return PageMessage::Other;
}

uint32_t ClosedDeliveryNumber(std::wstring_view json) noexcept {
    const size_t at = json.find(kGenerationMember);
    if (at == std::wstring_view::npos) {
        return 0;
    }
    uint64_t number = 0;
    size_t digits = 0;
    for (size_t i = at + kGenerationMember.size(); i < json.size() && json[i] >= L'0' && json[i] <= L'9';
         ++i) {
        number = number * 10 + static_cast<uint64_t>(json[i] - L'0');
        if (++digits > 10 || number > UINT32_MAX) {
            return 0;
        }
    }
    return static_cast<uint32_t>(number);
}
