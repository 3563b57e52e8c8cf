// Work that may wait on a disk or a share runs on a thread-pool worker, never on the user-interface
// thread; its end comes back to that thread through its message queue (a message-only window of its
// own), because the browser control takes answers only there.
#pragma once

#include <windows.h>

#include <memory>

class WorkerJob {
public:
    virtual ~WorkerJob() = default;
    // On a worker thread.
    virtual void RunOnWorker() noexcept = 0;
    // Afterwards, on the user-interface thread; the job is destroyed there right after.
    virtual void FinishOnUiThread() noexcept = 0;
};

class WorkerJobs {
public:
    // On the user-interface thread, which then receives every job's end.
    WorkerJobs() noexcept;
    // Jobs whose end is still queued are finished no more (destroyed here, on this thread); a worker
    // still running leaves its job to the ending process (see worker_jobs.cpp).
    ~WorkerJobs();
    WorkerJobs(const WorkerJobs&) = delete;
    WorkerJobs& operator=(const WorkerJobs&) = delete;

    // Hands `job` to a worker and empties it; on failure (no window, no worker) leaves it as it was.
    void Submit(std::unique_ptr<WorkerJob>& job) noexcept;

private:
    HWND window_ = nullptr;
};
