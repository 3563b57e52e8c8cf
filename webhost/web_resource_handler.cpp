#include "webhost/web_resource_handler.h"

#include "platform/unique_handle.h"
#include "webhost/resource_answer.h"

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

} // namespace

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
        const std::wstring range = RangeHeader(request.Get());
        ResourceAnswer answer;
        if (FAILED(AnswerResourceRequest({uri.get(), method.get(), range}, page_,
                                         currentDocument_ != nullptr ? currentDocument_() : std::wstring(),
                                         answer))) {
            return S_OK;
        }
        ComPtr<ICoreWebView2WebResourceResponse> response;
        if (SUCCEEDED(environment_->CreateWebResourceResponse(answer.body.Get(), answer.status,
                                                              answer.reason.c_str(), answer.headers.c_str(),
                                                              &response)) &&
            response) {
            args->put_Response(response.Get());
        }
    } catch (...) {
        // Out of memory for the range text: the request goes unanswered, as above.
    }
    return S_OK;
}
