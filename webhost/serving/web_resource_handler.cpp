#include "webhost/serving/web_resource_handler.h"

#include "platform/unique_handle.h"
#include "webhost/serving/resource_answer.h"

#include <memory>

using Microsoft::WRL::ComPtr;

namespace {

std::wstring RangeHeader(ICoreWebView2WebResourceRequest* request) {
    ComPtr<ICoreWebView2HttpRequestHeaders> headers;
    if (FAILED(request->get_Headers(&headers)) || !headers) {
        return {};
    }
    UniqueCoTaskString range;
    if (FAILED(headers->GetHeader(L"Range", range.put())) || !range) {
        return {};
    }
    return range.get();
}

void Respond(ICoreWebView2Environment* environment, ICoreWebView2WebResourceRequestedEventArgs* args,
             const ResourceAnswer& answer) noexcept {
    ComPtr<ICoreWebView2WebResourceResponse> response;
    if (SUCCEEDED(environment->CreateWebResourceResponse(
            answer.body.Get(), answer.status, answer.reason.c_str(), answer.headers.c_str(), &response)) &&
        response) {
        args->put_Response(response.Get());
    }
}

// One request for a file beside the document: everything it needs, owned, so that it outlives the
// handler's call; its answer is made on a worker and handed to the runtime on the user-interface thread.
class FileAnswerJob final : public WorkerJob {
public:
    FileAnswerJob(ComPtr<ICoreWebView2Environment> environment,
                  ComPtr<ICoreWebView2WebResourceRequestedEventArgs> args,
                  ComPtr<ICoreWebView2Deferral> deferral, std::wstring uri, std::wstring range,
                  ServedDocument document) noexcept
        : environment_(std::move(environment)), args_(std::move(args)), deferral_(std::move(deferral)),
          uri_(std::move(uri)), range_(std::move(range)), document_(std::move(document)) {}

    void RunOnWorker() noexcept override {
        made_ = AnswerDocumentFile({uri_, L"GET", range_}, document_, answer_);
    }

    void FinishOnUiThread() noexcept override {
        if (SUCCEEDED(made_)) {
            Respond(environment_.Get(), args_.Get(), answer_);
        }
        deferral_->Complete();
    }

private:
    const ComPtr<ICoreWebView2Environment> environment_;
    const ComPtr<ICoreWebView2WebResourceRequestedEventArgs> args_;
    const ComPtr<ICoreWebView2Deferral> deferral_;
    const std::wstring uri_;
    const std::wstring range_;
    const ServedDocument document_;
    ResourceAnswer answer_;
    HRESULT made_ = E_PENDING;
};

} // namespace

ServedDocument WebResourceHandler::Shown() const {
    ServedDocument shown;
    if (currentDocument_ != nullptr && currentGeneration_ != nullptr) {
        shown.path = currentDocument_();
        shown.generation = currentGeneration_();
    }
    return shown;
}

HRESULT STDMETHODCALLTYPE WebResourceHandler::Invoke(
    ICoreWebView2* /*sender*/, ICoreWebView2WebResourceRequestedEventArgs* args) noexcept {
    if (args == nullptr || !environment_) {
        return S_OK;
    }
    ComPtr<ICoreWebView2WebResourceRequest> request;
    if (FAILED(args->get_Request(&request)) || !request) {
        return S_OK;
    }
    UniqueCoTaskString uri;
    UniqueCoTaskString method;
    request->get_Uri(uri.put());
    request->get_Method(method.put());
    if (!uri || !method) {
        return S_OK;
    }
    try {
        std::wstring range = RangeHeader(request.Get());
        ResourceAnswer answer;
        bool answered = false;
        if (FAILED(AnswerAtOnce({uri.get(), method.get(), range}, page_, answer, answered))) {
            return S_OK;
        }
        if (answered) {
            Respond(environment_.Get(), args, answer);
            return S_OK;
        }
        // The document that is shown now decides, whenever the worker runs.
        ServedDocument shown = Shown();
        ComPtr<ICoreWebView2Deferral> deferral;
        if (SUCCEEDED(args->GetDeferral(&deferral)) && deferral) {
            std::unique_ptr<WorkerJob> job = std::make_unique<FileAnswerJob>(
                environment_, ComPtr<ICoreWebView2WebResourceRequestedEventArgs>(args), deferral, uri.get(),
                std::move(range), std::move(shown));
            workers_.Submit(job);
            if (job) {
                // No worker to be had: unanswered, as when the answer cannot be made.
                deferral->Complete();
            }
            return S_OK;
        }
        // A runtime without deferrals would wait for this call anyway.
        if (SUCCEEDED(AnswerDocumentFile({uri.get(), method.get(), range}, shown, answer))) {
            Respond(environment_.Get(), args, answer);
        }
    } catch (...) {
        // Out of memory: the request goes unanswered, as above.
    }
    return S_OK;
}
