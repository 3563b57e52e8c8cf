// The open command of the http, https and mailto schemes pointed at a recorder program for the
// duration of a test, so that what the viewer hands to the default browser or mail program is seen
// and nothing is started. The previous commands are put back afterwards.
#pragma once

#include <optional>
#include <string>
#include <vector>

class UrlHandlerRegistration {
public:
    explicit UrlHandlerRegistration(const std::wstring& recorderPath);
    UrlHandlerRegistration(const UrlHandlerRegistration&) = delete;
    UrlHandlerRegistration& operator=(const UrlHandlerRegistration&) = delete;
    ~UrlHandlerRegistration();

    bool registered() const noexcept { return registered_; }

    // Puts back a command that an interrupted earlier run left pointing at `recorderPath`.
    static void RemoveLeftover(const std::wstring& recorderPath);

private:
    struct Previous {
        std::wstring key;
        std::optional<std::wstring> command; // nothing: there was none
    };
    bool registered_ = false;
    std::vector<Previous> previous_;
};
