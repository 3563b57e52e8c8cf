#include "webhost/tasks/worker_jobs.h"

#include <new>

namespace {

constexpr wchar_t kWindowClass[] = L"TallowmereWorkerJobs";
constexpr UINT kJobDone = WM_APP + 1;

struct RunningJob {
    std::unique_ptr<WorkerJob> job;
    HWND window;
};

LRESULT CALLBACK JobWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == kJobDone) {
        const std::unique_ptr<WorkerJob> job(reinterpret_cast<WorkerJob*>(lParam));
        job->FinishOnUiThread();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void CALLBACK RunJob(PTP_CALLBACK_INSTANCE /*instance*/, void* context) noexcept {
    const std::unique_ptr<RunningJob> running(static_cast<RunningJob*>(context));
    running->job->RunOnWorker();
    // Posted, the window's thread owns the job. Not posted, the window is gone and the program is
    // ending: the job holds references that belong to the user-interface thread, and releasing them
    // here, on a worker, would be worse than leaving them to the process.
    ::PostMessageW(running->window, kJobDone, 0, reinterpret_cast<LPARAM>(running->job.get()));
    static_cast<void>(running->job.release());
}

HINSTANCE ThisModule() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&JobWindowProc), &module);
    return module;
}

} // namespace

WorkerJobs::WorkerJobs() noexcept {
    const HINSTANCE module = ThisModule();
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = JobWindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass); // fails harmlessly when a second instance registers it again
    window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module, nullptr);
}

WorkerJobs::~WorkerJobs() {
    if (window_ == nullptr) {
        return;
    }
    MSG message{};
    while (::PeekMessageW(&message, window_, kJobDone, kJobDone, PM_REMOVE)) {
        delete reinterpret_cast<WorkerJob*>(message.lParam);
    }
    ::DestroyWindow(window_);
}

void WorkerJobs::Submit(std::unique_ptr<WorkerJob>& job) noexcept {
    if (window_ == nullptr || !job) {
        return;
    }
    auto* running = new (std::nothrow) RunningJob{nullptr, window_};
    if (running == nullptr) {
        return;
    }
    running->job = std::move(job);
    if (!::TrySubmitThreadpoolCallback(RunJob, running, nullptr)) {
        job = std::move(running->job);
        delete running;
    }
}
