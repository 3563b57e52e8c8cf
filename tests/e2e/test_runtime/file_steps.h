// The page script's file steps: a user's editor changing the shown document on disk while the
// program runs. Relative paths are taken from the program's current folder; any length works.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace test_runtime {

// Whether `command` is a file step.
bool IsFileStep(const std::string& command);

// Runs a file step and logs it ("file <command> <path>"), or "file-failed <command> <error>". Calls
// `next` when the step is done: at once, or after a pause for write-slowly.
void RunFileStep(const std::string& command, const std::vector<std::wstring>& arguments,
                 std::function<void()> next);

} // namespace test_runtime
