#include "app/document_jobs.h"

namespace {

JobRunner* g_replacement = nullptr;

// Hands each job to the replacement in place at the moment, so that the watch, made once, follows it.
class DocumentJobRunner final : public JobRunner {
public:
    void Submit(std::unique_ptr<WorkerJob>& job) noexcept override {
        if (g_replacement != nullptr) {
            g_replacement->Submit(job);
            return;
        }
        static WorkerJobs workers;
        workers.Submit(job);
    }
};

} // namespace

JobRunner& DocumentJobs() noexcept {
    static DocumentJobRunner runner;
    return runner;
}

void UseDocumentJobRunner(JobRunner* runner) noexcept {
    g_replacement = runner;
}
