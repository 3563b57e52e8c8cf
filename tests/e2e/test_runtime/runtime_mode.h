// How the test runtime misbehaves, read once from TALLOWMERE_TEST_RUNTIME_MODE.
#pragma once

namespace test_runtime {

struct RuntimeMode {
    bool refuseEnvironment = false;     // the export itself fails: no completion follows
    int failEnvironmentCompletions = 0; // this many completions (counted per process) report failure
    bool failController = false;        // the controller completion reports failure
    long failedControllerCode = 0;      // with this code (0: kFailedController)
    bool noWebView = false;             // the controller yields no web view
};

const RuntimeMode& Mode() noexcept;

} // namespace test_runtime
