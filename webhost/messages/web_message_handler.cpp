#include "webhost/messages/web_message_handler.h"

#include "webhost/messages/web_message.h"

HRESULT STDMETHODCALLTYPE WebMessageHandler::Invoke(ICoreWebView2* /*sender*/,
                                                    ICoreWebView2WebMessageReceivedEventArgs* args) noexcept {
    OnWebMessageReceived(mainWindow_, actions_, args);
    return S_OK;
}
