// Watches the host add documents to Windows' recent documents. The real runtime sees nothing of this;
// the probe only records what the host asks of the shell and passes every call on unchanged.
#pragma once

#include <cstddef>

namespace test_runtime {

// Once per process: the host's imported SHAddToRecentDocs is routed through a recorder that logs
// `recent <path>` (from whichever thread calls it) and then calls the shell's own function.
void InstallRecentDocumentsProbe() noexcept;

// How many calls the recorder has seen so far.
size_t RecentDocumentsAdded() noexcept;

} // namespace test_runtime
