#include "runtime_log_reader.h"

#include "test_runtime/runtime_protocol.h"

#include <filesystem>
#include <fstream>
#include <sstream>

RuntimeLog RuntimeLog::Read(const std::wstring& path) {
    RuntimeLog log;
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        const std::vector<std::string> fields = test_runtime::SplitFields(line);
        if (fields.empty()) {
            continue;
        }
        LogEntry entry{fields[0], {}};
        for (size_t i = 1; i < fields.size(); ++i) {
            entry.fields.push_back(test_runtime::UnescapeField(fields[i]));
        }
        log.entries_.push_back(std::move(entry));
    }
    return log;
}

size_t RuntimeLog::Count(const std::string& tag) const {
    return Positions(tag).size();
}

std::vector<size_t> RuntimeLog::Positions(const std::string& tag) const {
    std::vector<size_t> positions;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].tag == tag) {
            positions.push_back(i);
        }
    }
    return positions;
}

std::vector<LogEntry> RuntimeLog::All(const std::string& tag) const {
    std::vector<LogEntry> found;
    for (const LogEntry& entry : entries_) {
        if (entry.tag == tag) {
            found.push_back(entry);
        }
    }
    return found;
}

size_t RuntimeLog::Find(const std::string& tag, const std::wstring& text, size_t from) const {
    for (size_t i = from; i < entries_.size(); ++i) {
        if (entries_[i].tag == tag && !entries_[i].fields.empty() && entries_[i].fields[0] == text) {
            return i;
        }
    }
    return std::string::npos;
}

std::string RuntimeLog::Describe() const {
    constexpr size_t kShown = 100;
    std::ostringstream out;
    for (size_t i = 0; i < entries_.size(); ++i) {
        out << "  " << i << ": " << entries_[i].tag;
        for (const std::wstring& field : entries_[i].fields) {
            std::string escaped = test_runtime::EscapeField(field);
            if (escaped.size() > kShown) {
                escaped = escaped.substr(0, kShown) + "...(" + std::to_string(field.size()) + " units)";
            }
            out << ' ' << escaped;
        }
        out << '\n';
    }
    return out.str();
}
