// Where the host's looks at and reads of documents run: on workers, never on the window's thread, which
// must keep answering while a disk spins up or a share's server has gone.
#pragma once

#include "webhost/tasks/worker_jobs.h"

// The runner of every document job: workers made on first use (on the user-interface thread), or the
// runner a test put in place.
JobRunner& DocumentJobs() noexcept;

// For tests that drive deliveries step by step: `runner` takes every document job from now on; null
// gives them back to the workers.
void UseDocumentJobRunner(JobRunner* runner) noexcept;
