#include "webhost/messages/host_messages.h"

#include "webhost/messages/json_escape.h"
#include "webhost/messages/page_message_fields.h"

namespace {
constexpr std::wstring_view kOpenFileHead = L"{\"action\":\"openFile\",\"name\":\"";
constexpr std::wstring_view kOpenFileMiddle = L"\",\"content\":\"";
constexpr std::wstring_view kOpenFileGeneration = L"\",\"generation\":";
constexpr std::wstring_view kOpenFileTail = L"}";
constexpr std::wstring_view kReadyWord = L"\"ready\"";
constexpr std::wstring_view kCloseDocWord = L"\"closeDoc\"";

struct NamedAction {
    std::wstring_view action;
    PageMessage message;
};
constexpr NamedAction kNamedActions[] = {
    {L"back", PageMessage::Back},
    {L"forward", PageMessage::Forward},
    {L"place", PageMessage::Place},
    {L"ownDocument", PageMessage::OwnDocument},
    {L"openListed", PageMessage::OpenListed},
    {L"exportHtml", PageMessage::ExportHtml},
    {L"exportPdf", PageMessage::ExportPdf},
    {L"paperSet", PageMessage::PaperSet},
    {L"encoding", PageMessage::Encoding},
};

void AppendStringMember(std::wstring& message, std::wstring_view name, std::wstring_view value) {
    message.append(L",\"").append(name).append(L"\":\"");
    AppendJsonEscaped(message, value);
    message.push_back(L'"');
}
} // namespace

std::wstring ComposeOpenFileMessage(std::wstring_view name, std::wstring_view content, uint32_t generation,
                                    const DocumentLanding& landing, bool missing, std::wstring_view path,
                                    std::wstring_view encoding) {
    const std::wstring number = std::to_wstring(generation);
    std::wstring message;
    // Room for the whole message up front: the document is then copied once, never regrown.
    message.reserve(kOpenFileHead.size() + JsonEscapedLength(name) + kOpenFileMiddle.size() +
                    JsonEscapedLength(content) + kOpenFileGeneration.size() + number.size() +
                    kOpenFileTail.size() + 32 + JsonEscapedLength(landing.place) +
                    JsonEscapedLength(landing.fragment) + JsonEscapedLength(path) +
                    JsonEscapedLength(encoding));
    message.append(kOpenFileHead);
    AppendJsonEscaped(message, name);
    message.append(kOpenFileMiddle);
    AppendJsonEscaped(message, content);
    message.append(kOpenFileGeneration).append(number);
    if (!landing.place.empty()) {
        AppendStringMember(message, L"place", landing.place);
    } else if (!landing.fragment.empty()) {
        AppendStringMember(message, L"fragment", landing.fragment);
    }
    if (missing) {
        message.append(L",\"missing\":true");
    }
    if (!path.empty()) {
        AppendStringMember(message, L"path", path);
    }
    if (!encoding.empty()) {
        AppendStringMember(message, L"encoding", encoding);
    }
    message.append(kOpenFileTail);
    return message;
}

std::wstring ComposeHistoryMessage(std::wstring_view back, std::wstring_view forward) {
    std::wstring message = L"{\"action\":\"history\"";
    AppendStringMember(message, L"back", back);
    AppendStringMember(message, L"forward", forward);
    message.push_back(L'}');
    return message;
}

std::wstring ComposeShowOwnMessage(uint32_t own, std::wstring_view name, std::wstring_view place) {
    std::wstring message = L"{\"action\":\"showOwn\",\"own\":" + std::to_wstring(own);
    AppendStringMember(message, L"name", name);
    AppendStringMember(message, L"place", place);
    message.push_back(L'}');
    return message;
}

PageMessage ClassifyPageMessage(std::wstring_view json) {
    if (const auto action = PageMessageFields(json).String(L"action")) {
        for (const NamedAction& named : kNamedActions) {
            if (*action == named.action) {
                return named.message;
            }
        }
    }
    if (json.size() >= kReadyWord.size() && json.find(kReadyWord) != std::wstring_view::npos) {
        return PageMessage::Ready;
    }
    if (json.size() >= kCloseDocWord.size() && json.find(kCloseDocWord) != std::wstring_view::npos) {
        return PageMessage::CloseDoc;
    }
    return PageMessage::Other;
}

uint32_t ClosedDeliveryNumber(std::wstring_view json) noexcept {
    try {
        return PageMessageFields(json).Number(L"generation").value_or(0);
    } catch (...) {
        return 0; // out of memory: a close that names no delivery
    }
}
