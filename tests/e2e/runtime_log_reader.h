// The test runtime's log, read back after the viewer has exited.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct LogEntry {
    std::string tag;
    std::vector<std::wstring> fields;
};

class RuntimeLog {
public:
    // An absent file reads as an empty log (the runtime was never loaded).
    static RuntimeLog Read(const std::wstring& path);

    const std::vector<LogEntry>& entries() const noexcept { return entries_; }
    size_t Count(const std::string& tag) const;
    // Positions of the entries with `tag`, in order.
    std::vector<size_t> Positions(const std::string& tag) const;
    // The entries with `tag`, in order.
    std::vector<LogEntry> All(const std::string& tag) const;
    // Position of the first entry with `tag` and first field `text` at or after `from`; npos if none.
    size_t Find(const std::string& tag, const std::wstring& text, size_t from = 0) const;

    // The log as text, long texts shortened, for failure messages.
    std::string Describe() const;

private:
    std::vector<LogEntry> entries_;
};
