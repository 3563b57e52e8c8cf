#include "webhost/messages/web_message.h"

#include "platform/unique_handle.h"
#include "webhost/messages/host_messages.h"
#include "webhost/links/link_handlers.h"
#include "webhost/messages/page_message_fields.h"

namespace {

// A place is a few numbers; anything longer is no place of the page's.
constexpr size_t kMaxPlaceLength = 1024;

void RememberPlace(const PageMessageActions& actions, const PageMessageFields& fields) {
    const auto place = fields.String(L"place");
    if (actions.rememberPlace == nullptr || !place || place->size() > kMaxPlaceLength) {
        return;
    }
    actions.rememberPlace(fields.Number(L"generation").value_or(0), fields.Number(L"own").value_or(0),
                          *place);
}

} // namespace

void OnWebMessageReceived(HWND mainWindow, const PageMessageActions& actions,
                          ICoreWebView2WebMessageReceivedEventArgs* args) noexcept {
    if (args == nullptr) {
        return;
    }
    UniqueCoTaskString json;
    args->get_WebMessageAsJson(json.put());
    if (!json) {
        return;
    }
    try {
        const auto run = [](auto action, auto... arguments) {
            if (action != nullptr) {
                action(arguments...);
            }
        };
        switch (ClassifyPageMessage(json.get())) {
        case PageMessage::Ready:
            run(actions.ready);
            break;
        case PageMessage::CloseDoc:
            run(actions.closeDoc, mainWindow, ClosedDeliveryNumber(json.get()));
            break;
        case PageMessage::Back:
            run(actions.goBack);
            break;
        case PageMessage::Forward:
            run(actions.goForward);
            break;
        case PageMessage::Place:
            RememberPlace(actions, PageMessageFields(json.get()));
            break;
        case PageMessage::OwnDocument: {
            const PageMessageFields fields(json.get());
            const auto own = fields.Number(L"own");
            if (own && *own > 0 && actions.showOwnDocument != nullptr) {
                actions.showOwnDocument(mainWindow, *own, fields.String(L"name").value_or(L""));
            }
            break;
        }
        case PageMessage::OpenListed:
            // Only the page itself posts messages (a document's scripts never run), and only on the
            // reader's click or key: a user's choice, judged as a followed link is.
            if (const auto address = PageMessageFields(json.get()).String(L"address")) {
                FollowLink(mainWindow, address->c_str(), true, actions);
            }
            break;
        case PageMessage::ExportHtml: {
            const PageMessageFields fields(json.get());
            const auto html = fields.String(L"html");
            if (html && actions.exportHtml != nullptr) {
                actions.exportHtml(mainWindow, fields.String(L"name").value_or(L""), *html);
            }
            break;
        }
        case PageMessage::ExportPdf:
            run(actions.exportPdf, mainWindow, PageMessageFields(json.get()).String(L"name").value_or(L""));
            break;
        case PageMessage::PaperSet:
            run(actions.paperSet, mainWindow);
            break;
        case PageMessage::Encoding: {
            const PageMessageFields fields(json.get());
            const auto encoding = fields.String(L"encoding");
            if (encoding && actions.chooseEncoding != nullptr) {
                actions.chooseEncoding(fields.Number(L"generation").value_or(0), *encoding);
            }
            break;
        }
        case PageMessage::Other:
            break;
        }
    } catch (...) {
        // Out of memory while answering (delivering the document): this message is lost, nothing else.
    }
}
