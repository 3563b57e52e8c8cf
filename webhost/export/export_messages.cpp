#include "webhost/export/export_messages.h"

#include "webhost/messages/json_escape.h"

#include <windows.h>

#include <cwctype>

namespace {

bool EndsWithInsensitive(std::wstring_view text, std::wstring_view ending) noexcept {
    if (text.size() < ending.size()) {
        return false;
    }
    const std::wstring_view tail = text.substr(text.size() - ending.size());
    for (size_t i = 0; i < ending.size(); ++i) {
        if (std::towlower(tail[i]) != ending[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::wstring ComposeExportRequest(ExportFormat format, std::wstring_view dialect) {
    std::wstring message = L"{\"action\":\"exportDocument\",\"format\":\"";
    message.append(format == ExportFormat::Pdf ? L"pdf" : L"html").push_back(L'"');
    if (!dialect.empty()) {
        message.append(L",\"dialect\":\"");
        AppendJsonEscaped(message, dialect);
        message.push_back(L'"');
    }
    message.push_back(L'}');
    return message;
}

std::wstring ComposePaperMessage() {
    // LOCALE_IPAPERSIZE: 1 is US Letter, 9 is A4 (and 5 US Legal, 8 A3, which print on their own size
    // rarely enough that the two common ones stand in: Letter for Legal, A4 for A3).
    DWORD paper = 9;
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_IPAPERSIZE | LOCALE_RETURN_NUMBER,
                      reinterpret_cast<LPWSTR>(&paper), sizeof(paper) / sizeof(wchar_t));
    return paper == 1 || paper == 5 ? L"{\"action\":\"paper\",\"size\":\"letter\"}"
                                    : L"{\"action\":\"paper\",\"size\":\"A4\"}";
}

bool ExportFormatOf(std::wstring_view path, ExportFormat& format) noexcept {
    if (EndsWithInsensitive(path, L".pdf")) {
        format = ExportFormat::Pdf;
        return true;
    }
    if (EndsWithInsensitive(path, L".html") || EndsWithInsensitive(path, L".htm")) {
        format = ExportFormat::Html;
        return true;
    }
    return false;
}
