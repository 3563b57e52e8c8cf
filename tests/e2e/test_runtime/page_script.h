// The scripted page: a list of steps, read from the file named by TALLOWMERE_TEST_RUNTIME_SCRIPT, that
// the runtime plays through the host's message loop as if a user and the viewer page were acting. See
// README.md for the commands.
#pragma once

namespace test_runtime {

enum class RuntimeEvent {
    ControllerCompleted, // the controller completion was delivered (success or failure)
    Navigated,           // the page text was navigated to and the page "loaded"
    Posted,              // the host posted a message to the page
    Answered,            // a resource request got its answer (or is over without one)
    AddedToRecent,       // the host added documents to the recent documents (looked at, not notified)
};

// Reads the script and starts playing it, once per process (later calls do nothing).
void StartPageScript() noexcept;

// Lets an "await" step go on; counts the host's posts.
void NotifyRuntimeEvent(RuntimeEvent event) noexcept;

} // namespace test_runtime
