// A job runner for tests that drive their subject step by step: each job runs whole, both its steps, on
// the calling thread before Submit returns.
#pragma once

#include "webhost/tasks/worker_jobs.h"

#include <memory>

class InlineJobs final : public JobRunner {
public:
    void Submit(std::unique_ptr<WorkerJob>& job) noexcept override {
        const std::unique_ptr<WorkerJob> running = std::move(job);
        running->RunOnWorker();
        running->FinishOnUiThread();
    }
};
