#include "webhost/downloads/download_handler.h"

#include "platform/unique_handle.h"
#include "webhost/downloads/document_download.h"
#include "webhost/downloads/download_policy.h"
#include "webhost/links/link_handlers.h"

using Microsoft::WRL::ComPtr;

namespace {

// A web download starts only once the server has answered, a moment after the click.
constexpr DWORD kUserActionMilliseconds = 3000;

} // namespace

bool UserJustActed(HWND mainWindow) noexcept {
    LASTINPUTINFO input{};
    input.cbSize = sizeof(input);
    if (!::GetLastInputInfo(&input) || ::GetTickCount() - input.dwTime > kUserActionMilliseconds) {
        return false;
    }
    const HWND foreground = ::GetForegroundWindow();
    return foreground != nullptr && ::GetAncestor(foreground, GA_ROOTOWNER) == mainWindow;
}

HRESULT STDMETHODCALLTYPE DownloadStartingHandler::Invoke(
    ICoreWebView2* /*sender*/, ICoreWebView2DownloadStartingEventArgs* args) noexcept {
    if (args == nullptr) {
        return S_OK;
    }
    // First of all, whatever follows: nothing is saved by the control, and no download bubble shows.
    args->put_Cancel(TRUE);
    args->put_Handled(TRUE);
    ComPtr<ICoreWebView2DownloadOperation> operation;
    UniqueCoTaskString uri;
    UniqueCoTaskString suggested;
    if (FAILED(args->get_DownloadOperation(&operation)) || !operation ||
        FAILED(operation->get_Uri(uri.put())) || !uri) {
        return S_OK;
    }
    args->get_ResultFilePath(suggested.put());
    try {
        const std::wstring documentPath =
            actions_.currentDocument != nullptr ? actions_.currentDocument() : L"";
        DownloadDecision decision = DecideDownload(uri.get(), suggested ? suggested.get() : L"",
                                                   UserJustActed(mainWindow_), documentPath);
        switch (decision.action) {
        case DownloadAction::SaveDocumentFile:
            SaveDocumentFileLater(mainWindow_, std::move(decision.target),
                                  ServedDocument{documentPath, actions_.currentGeneration != nullptr
                                                                   ? actions_.currentGeneration()
                                                                   : 0},
                                  std::move(decision.saveName));
            break;
        case DownloadAction::OpenExternally:
            OpenOutsideLater(mainWindow_, std::move(decision.target));
            break;
        case DownloadAction::Refuse:
            break;
        }
    } catch (...) {
        // Out of memory: the download is refused, as any other.
    }
    return S_OK;
}
