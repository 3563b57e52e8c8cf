// Work that may wait on a disk or a share runs on a thread-pool worker, never on the user-interface
// thread; its end comes back to that thread through its message queue (a message-only window of its
// own), because the browser control takes answers only there.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

class WorkerJob {
public:
    virtual ~WorkerJob() = default;
    // On a worker thread.
    virtual void RunOnWorker() noexcept = 0;
    // Afterwards, on the user-interface thread; the job is destroyed there right after.
    virtual void FinishOnUiThread() noexcept = 0;
};

// Where jobs are handed: to workers (WorkerJobs) or, for tests that drive their subject step by step, a
// runner that does each job at once on the calling thread.
class JobRunner {
public:
    virtual ~JobRunner() = default;
    // Takes `job` and empties it; on failure (no window, no worker) leaves it as it was.
    virtual void Submit(std::unique_ptr<WorkerJob>& job) noexcept = 0;
};

class WorkerJobs final : public JobRunner {
public:
    // On the user-interface thread, which then receives every job's end.
    WorkerJobs() noexcept;
    // Jobs whose end is still queued are finished no more (destroyed here, on this thread); a worker
    // still running leaves its job to the ending process (see worker_jobs.cpp).
    ~WorkerJobs();
    WorkerJobs(const WorkerJobs&) = delete;
    WorkerJobs& operator=(const WorkerJobs&) = delete;

    // Hands `job` to a worker and empties it; on failure (no window, no worker) leaves it as it was.
    void Submit(std::unique_ptr<WorkerJob>& job) noexcept override;

private:
    HWND window_ = nullptr;
};

// A job of two steps: `work()` on a worker, whose result `finish(result)` takes on the user-interface
// thread. Both must be noexcept; what they capture is owned by the job.
template <typename Work, typename Finish> class StepsJob final : public WorkerJob {
public:
    using Result = std::invoke_result_t<Work&>;
    static_assert(std::is_nothrow_invocable_v<Work&>, "the work step must not throw");
    static_assert(std::is_nothrow_invocable_v<Finish&, Result&&>, "the finishing step must not throw");

    StepsJob(Work work, Finish finish) : work_(std::move(work)), finish_(std::move(finish)) {}
    void RunOnWorker() noexcept override { result_.emplace(work_()); }
    void FinishOnUiThread() noexcept override {
        if (result_) {
            finish_(std::move(*result_));
        }
    }

private:
    Work work_;
    Finish finish_;
    std::optional<Result> result_;
};

// Hands `work` and then `finish` to `runner`; E_OUTOFMEMORY or E_FAIL (no worker) when it could not.
template <typename Work, typename Finish>
HRESULT SubmitSteps(JobRunner& runner, Work work, Finish finish) noexcept {
    std::unique_ptr<WorkerJob> job;
    try {
        job = std::make_unique<StepsJob<Work, Finish>>(std::move(work), std::move(finish));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    runner.Submit(job);
    return job ? E_FAIL : S_OK;
}
