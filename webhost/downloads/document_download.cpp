#include "webhost/downloads/document_download.h"

#include "platform/unique_handle.h"
#include "webhost/serving/document_file.h"
#include "webhost/downloads/download_policy.h"
#include "webhost/downloads/save_copy.h"
#include "webhost/downloads/save_dialog.h"
#include "webhost/tasks/window_tasks.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr wchar_t kSaveFailed[] = L"\u6587\u4EF6\u672A\u80FD\u4FDD\u5B58\uFF1A\n"; // 文件未能保存：
// How long the window's end waits for cancelled copies to let go of their files.
constexpr DWORD kCancelWaitMs = 2000;

// Touched on the window's thread only.
bool g_dialogOpen = false;

struct PendingSave {
    HWND window = nullptr;
    DocumentFile source;
    std::wstring saveName;
};

// A copy on its way, on a thread of its own: what it copies and where, and how to stop it.
struct RunningCopy {
    std::shared_ptr<PendingSave> save;
    std::wstring destination;
    bool mayReplace = false;
    std::atomic<bool> cancelled{false};
    UniqueKernelHandle thread;
};

// Every copy started and not yet known to have ended; touched on the window's thread only.
std::vector<std::shared_ptr<RunningCopy>> g_copies;

DWORD WINAPI RunCopy(void* context) noexcept {
    const std::unique_ptr<std::shared_ptr<RunningCopy>> held(
        static_cast<std::shared_ptr<RunningCopy>*>(context));
    RunningCopy& copy = **held;
    const HRESULT copied =
        SaveCopy(copy.save->source.file.get(), copy.destination, copy.mayReplace, copy.cancelled);
    // Cancelled only when the program ends: there is nobody left to tell.
    if (FAILED(copied) && !copy.cancelled.load()) {
        ReportSaveFailure(copy.save->window, kSaveFailed, copy.destination);
    }
    return 0;
}

bool HasEnded(const std::shared_ptr<RunningCopy>& copy) noexcept {
    return ::WaitForSingleObject(copy->thread.get(), 0) == WAIT_OBJECT_0;
}

void StartCopy(const std::shared_ptr<PendingSave>& save, const std::wstring& destination, bool mayReplace) {
    std::erase_if(g_copies, HasEnded);
    auto copy = std::make_shared<RunningCopy>();
    copy->save = save;
    copy->destination = destination;
    copy->mayReplace = mayReplace;
    auto context = std::make_unique<std::shared_ptr<RunningCopy>>(copy);
    copy->thread.reset(::CreateThread(nullptr, 0, RunCopy, context.get(), 0, nullptr));
    if (!copy->thread) {
        ReportSaveFailure(save->window, kSaveFailed, destination);
        return;
    }
    static_cast<void>(context.release()); // the thread's now
    g_copies.push_back(std::move(copy));
}

// On the window's thread: the dialog, then the copy handed to a worker.
void AskAndCopy(const std::shared_ptr<PendingSave>& save) {
    if (g_dialogOpen || !::IsWindow(save->window)) {
        return;
    }
    const std::wstring extension(ExtensionOf(save->source.path));
    // The file's own type, and nothing else to choose.
    SaveProposal proposal;
    proposal.name = save->saveName;
    proposal.extension = extension;
    proposal.onlyThisType = true;
    std::wstring chosen;
    g_dialogOpen = true;
    const HRESULT asked = AskWhereToSave(save->window, proposal, chosen);
    g_dialogOpen = false;
    if (asked != S_OK || chosen.empty()) {
        return;
    }
    // Should the dialog have let another extension through, the file's own is added; the name so made
    // was never confirmed for replacing, so it must be new.
    bool mayReplace = true;
    if (!extension.empty() && _wcsicmp(std::wstring(ExtensionOf(chosen)).c_str(), extension.c_str()) != 0) {
        chosen.append(L".").append(extension);
        mayReplace = false;
    }
    StartCopy(save, chosen, mayReplace);
}

// On a worker: opens the file as the page's requests would; only a file that would be served is offered.
void OpenAndOffer(const std::shared_ptr<PendingSave>& save, const std::wstring& uri,
                  const ServedDocument& document) noexcept {
    try {
        if (OpenDocumentFile(uri, document, save->source) != S_OK) {
            return;
        }
        PostWindowTask(save->window, [save] { AskAndCopy(save); });
    } catch (...) {
        // Out of memory: nothing is offered.
    }
}

} // namespace

void SaveDocumentFileLater(HWND mainWindow, std::wstring uri, ServedDocument document,
                           std::wstring saveName) noexcept {
    try {
        if (g_dialogOpen) {
            return;
        }
        auto save = std::make_shared<PendingSave>();
        save->window = mainWindow;
        save->saveName = std::move(saveName);
        std::thread([save, uri = std::move(uri), document = std::move(document)] {
            OpenAndOffer(save, uri, document);
        }).detach();
    } catch (...) {
        // No memory or no thread: nothing is offered.
    }
}

void CancelDocumentSaves() noexcept {
    std::vector<HANDLE> threads;
    for (const std::shared_ptr<RunningCopy>& copy : g_copies) {
        copy->cancelled.store(true);
        // A read or write that waits on a slow disk or share is called off too.
        ::CancelSynchronousIo(copy->thread.get());
        if (threads.size() < MAXIMUM_WAIT_OBJECTS) {
            threads.push_back(copy->thread.get());
        }
    }
    if (!threads.empty()) {
        ::WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, kCancelWaitMs);
    }
    g_copies.clear();
}
