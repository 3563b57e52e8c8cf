#include "webhost/web_message.h"

#include "platform/unique_handle.h"
#include "webhost/host_messages.h"

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
        switch (ClassifyPageMessage(json.get())) {
        case PageMessage::Ready:
            if (actions.ready != nullptr) {
                actions.ready();
            }
            break;
        case PageMessage::CloseDoc:
            if (actions.closeDoc != nullptr) {
                actions.closeDoc(mainWindow, ClosedDeliveryNumber(json.get()));
            }
            break;
        case PageMessage::Other:
            break;
        }
    } catch (...) {
        // Out of memory while answering (delivering the document): this message is lost, nothing else.
    }
}
