// Answers every request the page's origin filter lets through (see resource_answer.h), so that none
// of them goes out to the network.
#pragma once

#include "platform/browser_abi.h"
#include "webhost/browser/callback_object.h"
#include "webhost/serving/document_file.h"
#include "webhost/tasks/worker_jobs.h"

#include <wrl/client.h>

#include <string>

class WebResourceHandler final : public CallbackObject<ICoreWebView2WebResourceRequestedEventHandler,
                                                       IID_ICoreWebView2WebResourceRequestedEventHandler> {
public:
    // `environment` makes the responses; `page` is the page's UTF-8 text; `currentDocument` and
    // `currentGeneration` tell which document is shown and which delivery of it (null: none).
    // Made on the user-interface thread, which then receives the answers that workers prepare.
    WebResourceHandler(Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment, std::string page,
                       const std::wstring& (*currentDocument)() noexcept,
                       uint32_t (*currentGeneration)() noexcept) noexcept
        : environment_(std::move(environment)), page_(std::move(page)), currentDocument_(currentDocument),
          currentGeneration_(currentGeneration) {}

    // Always S_OK. Answers from memory at once; a file beside the document under the request's
    // deferral, opened and checked on a worker and answered back on this thread. A request whose
    // details cannot be read, or whose answer cannot be made, is left unanswered: the runtime then
    // fails it (the origin's name never resolves).
    HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender,
                                     ICoreWebView2WebResourceRequestedEventArgs* args) noexcept override;

private:
    ~WebResourceHandler() override = default;

    ServedDocument Shown() const;

    const Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment_;
    const std::string page_;
    const std::wstring& (*const currentDocument_)() noexcept;
    uint32_t (*const currentGeneration_)() noexcept;
    WorkerJobs workers_;
};
