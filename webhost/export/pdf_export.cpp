#include "webhost/export/pdf_export.h"

#include "platform/long_path.h"
#include "webhost/browser/callback_object.h"
#include "webhost/export/export_file.h"

#include <wrl/client.h>

#include <utility>

using Microsoft::WRL::ComPtr;

namespace {

class PrintToPdfCompletedHandler final : public CallbackObject<ICoreWebView2PrintToPdfCompletedHandler,
                                                               IID_ICoreWebView2PrintToPdfCompletedHandler> {
public:
    PrintToPdfCompletedHandler(std::wstring temporary, std::wstring destination,
                               std::function<void(HRESULT)> done) noexcept
        : temporary_(std::move(temporary)), destination_(std::move(destination)), done_(std::move(done)) {}

    HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, BOOL isSuccessful) noexcept override {
        HRESULT result = errorCode;
        if (SUCCEEDED(result) && !isSuccessful) {
            result = E_FAIL;
        }
        if (SUCCEEDED(result)) {
            result = ReplaceWithWhole(temporary_, destination_);
        } else {
            try {
                ::DeleteFileW(ExtendedLengthPath(temporary_).c_str());
            } catch (...) {
            }
        }
        if (done_) {
            try {
                std::exchange(done_, nullptr)(result);
            } catch (...) {
            }
        }
        return S_OK;
    }

private:
    ~PrintToPdfCompletedHandler() override = default;

    const std::wstring temporary_;
    const std::wstring destination_;
    std::function<void(HRESULT)> done_;
};

} // namespace

HRESULT PrintPageToPdf(ICoreWebView2* webView, const std::wstring& destination,
                       std::function<void(HRESULT)> done) noexcept {
    if (webView == nullptr) {
        return E_POINTER;
    }
    ComPtr<ICoreWebView2_11> printing;
    HRESULT result =
        webView->QueryInterface(IID_ICoreWebView2_11, reinterpret_cast<void**>(printing.GetAddressOf()));
    if (FAILED(result)) {
        return result;
    }
    try {
        std::wstring temporary = TemporaryNameBeside(destination);
        const std::wstring target = temporary;
        const auto handler =
            MakeCallback<PrintToPdfCompletedHandler>(std::move(temporary), destination, std::move(done));
        if (!handler) {
            return E_OUTOFMEMORY;
        }
        return printing->PrintToPdf(target.c_str(), nullptr, handler.Get());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
