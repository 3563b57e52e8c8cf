#include "webhost/links/link_handlers.h"

#include "platform/unique_handle.h"
#include "webhost/links/link_policy.h"
#include "webhost/serving/page_origin.h"
#include "webhost/tasks/window_tasks.h"
#include "webhost/tasks/worker_jobs.h"

#include <shellapi.h>

#include <memory>

using Microsoft::WRL::ComPtr;

namespace {

// The page's own address, with or without a query or fragment: what a reload navigates to.
bool IsPageAddress(std::wstring_view uri) noexcept {
    constexpr std::wstring_view page = kPageUrl;
    return uri.substr(0, page.size()) == page &&
           (uri.size() == page.size() || uri[page.size()] == L'?' || uri[page.size()] == L'#');
}

// A reload, as the runtime says; a runtime too old to say lets the page's own address stand for one
// (the page never navigates to itself otherwise).
bool IsReload(ICoreWebView2NavigationStartingEventArgs* args, const wchar_t* uri) noexcept {
    ComPtr<ICoreWebView2NavigationStartingEventArgs3> withKind;
    int kind = kNavigationKindNewDocument;
    if (SUCCEEDED(args->QueryInterface(IID_ICoreWebView2NavigationStartingEventArgs3,
                                       reinterpret_cast<void**>(withKind.GetAddressOf()))) &&
        withKind && SUCCEEDED(withKind->get_NavigationKind(&kind))) {
        return kind == kNavigationKindReload;
    }
    return uri != nullptr && IsPageAddress(uri);
}

// A document a link names, looked at on a worker (the disk, or a share, may keep it waiting) and opened
// back on the user-interface thread if it passes and the page still shows the document whose link it
// was.
class LinkedDocumentJob final : public WorkerJob {
public:
    LinkedDocumentJob(LinkDecision decision, uint32_t generation, const PageMessageActions& actions) noexcept
        : decision_(std::move(decision)), generation_(generation), actions_(actions) {}

    void RunOnWorker() noexcept override { checked_ = CheckLinkedDocument(decision_.target); }

    void FinishOnUiThread() noexcept override {
        if (checked_ != S_OK || actions_.openLinkedDocument == nullptr ||
            actions_.currentGeneration == nullptr || actions_.currentGeneration() != generation_) {
            return;
        }
        try {
            actions_.openLinkedDocument(decision_.target, decision_.fragment);
        } catch (...) {
            // Out of memory while opening it: the link does nothing, as a refused one.
        }
    }

private:
    const LinkDecision decision_;
    const uint32_t generation_;
    const PageMessageActions actions_;
    HRESULT checked_ = E_PENDING;
};

// The workers that look at linked documents: made on the user-interface thread with the first link.
WorkerJobs& LinkWorkers() noexcept {
    static WorkerJobs workers;
    return workers;
}

} // namespace

void OpenOutsideLater(HWND mainWindow, std::wstring address) noexcept {
    try {
        PostWindowTask(mainWindow, [mainWindow, address = std::move(address)] {
            // Only web and mail addresses get here: the shell hands them to the user's own programs.
            ::ShellExecuteW(mainWindow, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        });
    } catch (...) {
        // No memory for the task: the link does nothing, as a refused one.
    }
}

void FollowLink(HWND mainWindow, const wchar_t* uri, bool userInitiated,
                const PageMessageActions& actions) noexcept {
    if (uri == nullptr) {
        return;
    }
    try {
        ServedDocument shown;
        if (actions.currentDocument != nullptr && actions.currentGeneration != nullptr) {
            shown.path = actions.currentDocument();
            shown.generation = actions.currentGeneration();
        }
        LinkDecision decision = DecideLink(uri, userInitiated, shown);
        switch (decision.action) {
        case LinkAction::OpenExternally:
            OpenOutsideLater(mainWindow, decision.target);
            break;
        case LinkAction::OpenInViewer: {
            // Nothing that may wait on a disk runs in the control's callback.
            std::unique_ptr<WorkerJob> job =
                std::make_unique<LinkedDocumentJob>(std::move(decision), shown.generation, actions);
            LinkWorkers().Submit(job); // no worker to be had: the link does nothing
            break;
        }
        case LinkAction::Refuse:
            break;
        }
    } catch (...) {
        // Out of memory while following a link: nothing happens, as for a refused one.
    }
}

HRESULT STDMETHODCALLTYPE NavigationStartingHandler::Invoke(
    ICoreWebView2* /*sender*/, ICoreWebView2NavigationStartingEventArgs* args) noexcept {
    if (args == nullptr) {
        return S_OK;
    }
    UniqueCoTaskString uri;
    args->get_Uri(uri.put());
    if (uri && ownNavigations_ > 0 && std::wstring_view(kPageUrl) == uri.get()) {
        --ownNavigations_;
        return S_OK;
    }
    args->put_Cancel(TRUE);
    if (IsReload(args, uri.get())) {
        if (actions_.reloadDocument != nullptr) {
            try {
                actions_.reloadDocument();
            } catch (...) {
                // Out of memory: this reload shows nothing new, as a refused one.
            }
        }
        return S_OK;
    }
    BOOL userInitiated = FALSE;
    args->get_IsUserInitiated(&userInitiated);
    FollowLink(mainWindow_, uri.get(), userInitiated != FALSE, actions_);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE NewWindowRequestedHandler::Invoke(
    ICoreWebView2* /*sender*/, ICoreWebView2NewWindowRequestedEventArgs* args) noexcept {
    if (args == nullptr) {
        return S_OK;
    }
    args->put_Handled(TRUE);
    UniqueCoTaskString uri;
    args->get_Uri(uri.put());
    BOOL userInitiated = FALSE;
    args->get_IsUserInitiated(&userInitiated);
    FollowLink(mainWindow_, uri.get(), userInitiated != FALSE, actions_);
    return S_OK;
}
