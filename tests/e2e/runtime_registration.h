// A registry registration of an installed runtime (the Stable channel's ClientState key, 32-bit view,
// per machine) for the duration of a test. Everything it adds is removed again.
#pragma once

#include <string>
#include <vector>

class RuntimeRegistration {
public:
    // Registers `runtimeFolder` (whose last component is its version). Check registered() afterwards.
    explicit RuntimeRegistration(const std::wstring& runtimeFolder);
    RuntimeRegistration(const RuntimeRegistration&) = delete;
    RuntimeRegistration& operator=(const RuntimeRegistration&) = delete;
    ~RuntimeRegistration();

    bool registered() const noexcept { return registered_; }

    // Removes a registration that an interrupted earlier run left behind, when it points below
    // `folderPrefix`.
    static void RemoveLeftover(const std::wstring& folderPrefix);

private:
    bool registered_ = false;
    std::vector<std::wstring> createdKeys_; // deepest last
};
