#include "dev_session.h"

#include "dev_web_view.h"
#include "support/dropped_files.h"
#include "wire_format.h"

#include <cstdlib>

namespace {

constexpr wchar_t kPortVariable[] = L"TALLOWMERE_DEVRUNTIME_PORT";

} // namespace

HRESULT ReadDriverPort(unsigned short& port) noexcept {
    // A port has at most five digits; anything longer is malformed, so a small buffer suffices.
    wchar_t text[16]{};
    const DWORD length = ::GetEnvironmentVariableW(kPortVariable, text, ARRAYSIZE(text));
    if (length == 0) {
        return HRESULT_FROM_WIN32(ERROR_ENVVAR_NOT_FOUND);
    }
    if (length >= ARRAYSIZE(text)) {
        return E_INVALIDARG;
    }
    unsigned long value = 0;
    for (DWORD i = 0; i < length; ++i) {
        if (text[i] < L'0' || text[i] > L'9') {
            return E_INVALIDARG;
        }
        value = value * 10 + static_cast<unsigned long>(text[i] - L'0');
        if (value > 65535) {
            return E_INVALIDARG;
        }
    }
    if (value == 0) {
        return E_INVALIDARG;
    }
    port = static_cast<unsigned short>(value);
    return S_OK;
}

HRESULT DevSession::Open(unsigned short port, std::shared_ptr<DevSession>& session) noexcept {
    try {
        auto created = std::make_shared<DevSession>();
        HRESULT hr = created->dispatcher_.Start();
        if (FAILED(hr)) {
            return hr;
        }
        // The reader thread only queues; everything touching the program runs on the dispatching thread.
        const std::weak_ptr<DevSession> weak = created;
        UiDispatcher* dispatcher = &created->dispatcher_;
        auto onFrame = [weak, dispatcher](std::string body) {
            dispatcher->Post([weak, body = std::move(body)] {
                if (const auto self = weak.lock()) {
                    self->RunDriverCommand(body);
                }
            });
        };
        auto onClosed = [weak, dispatcher] {
            dispatcher->Post([weak] {
                if (const auto self = weak.lock()) {
                    self->driverGone_ = true;
                }
            });
        };
        hr = created->connection_.Connect(port, std::move(onFrame), std::move(onClosed));
        if (FAILED(hr)) {
            return hr;
        }
        session = std::move(created);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT DevSession::Record(const std::string& record) noexcept {
    if (closed_ || driverGone_) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_STATE);
    }
    return connection_.Send(record);
}

void DevSession::CloseView() noexcept {
    if (closed_) {
        return;
    }
    try {
        connection_.Send(JsonRecord("close").Finish());
    } catch (...) {
        // Without the record the driver still sees the connection end.
    }
    closed_ = true;
    connection_.Close();
}

void DevSession::RunPageRequest(const DriverCommand& command) {
    // "<id>\n<method>\n<range>\n<uri>" for a resource, "<id>\n<uri>" for a reload, "<id>\n<file name>\n<uri>"
    // for a download, "<id>\n<user-initiated 0|1>\n<uri>" otherwise.
    const bool resource = command.verb == "resourceRequest";
    const size_t count = resource ? 4 : command.verb == "reloadStarting" ? 2 : 3;
    const std::vector<std::string_view> fields = SplitFields(command.payload, count);
    if (webView_ == nullptr || fields.size() != count) {
        Record(JsonRecord("unknownCommand").String("verb", FromUtf8(command.verb)).Finish());
        return;
    }
    const long long id = std::atoll(std::string(fields[0]).c_str());
    if (resource) {
        webView_->RequestResource(id, FromUtf8(fields[1]), FromUtf8(fields[2]), FromUtf8(fields[3]));
    } else if (command.verb == "newWindowRequested") {
        webView_->RequestNewWindow(id, fields[1] == "1", FromUtf8(fields[2]));
    } else if (command.verb == "reloadStarting") {
        webView_->StartReload(id, FromUtf8(fields[1]));
    } else if (command.verb == "downloadStarting") {
        webView_->StartDownload(id, FromUtf8(fields[1]), FromUtf8(fields[2]));
    } else {
        webView_->StartNavigation(id, fields[1] == "1", FromUtf8(fields[2]));
    }
}

void DevSession::RunDriverCommand(const std::string& body) noexcept {
    try {
        const DriverCommand command = SplitCommand(body);
        if (command.verb == "webMessage") {
            if (webView_ != nullptr) {
                webView_->DeliverWebMessage(FromUtf8(command.payload));
            }
        } else if (command.verb == "drop") {
            const std::wstring path = FromUtf8(command.payload);
            const HRESULT hr = PostDroppedFiles(parentWindow_, {path});
            Record(JsonRecord("dropPosted").String("path", path).Number("result", hr).Finish());
        } else if (command.verb == "resourceRequest" || command.verb == "newWindowRequested" ||
                   command.verb == "navigationStarting" || command.verb == "reloadStarting" ||
                   command.verb == "downloadStarting") {
            RunPageRequest(command);
        } else if (command.verb == "printedToPdf") {
            // "<id>\n<1 when the file was written, 0 otherwise>"
            const std::vector<std::string_view> fields = SplitFields(command.payload, 2);
            if (webView_ != nullptr && fields.size() == 2) {
                webView_->FinishPrintToPdf(std::atoll(std::string(fields[0]).c_str()), fields[1] == "1");
            }
        } else if (command.verb == "closeWindow") {
            if (parentWindow_ != nullptr) {
                ::PostMessageW(parentWindow_, WM_CLOSE, 0, 0);
            }
        } else {
            Record(JsonRecord("unknownCommand").String("verb", FromUtf8(command.verb)).Finish());
        }
    } catch (...) {
        // Out of memory while converting a payload: that one command is lost.
    }
}
