#include "app/window_history.h"

#include <cstddef>

void WindowHistory::Add(HistoryEntry entry) {
    if (!entries_.empty()) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(current_) + 1, entries_.end());
    }
    if (entries_.size() >= kMaxEntries) {
        entries_.erase(entries_.begin(),
                       entries_.begin() + static_cast<std::ptrdiff_t>(entries_.size() - kMaxEntries + 1));
    }
    entries_.push_back(std::move(entry));
    current_ = entries_.size() - 1;
}

HistoryEntry* WindowHistory::Back() noexcept {
    if (entries_.empty() || current_ == 0) {
        return nullptr;
    }
    return &entries_[--current_];
}

HistoryEntry* WindowHistory::Forward() noexcept {
    if (current_ + 1 >= entries_.size()) {
        return nullptr;
    }
    return &entries_[++current_];
}

const HistoryEntry* WindowHistory::PeekBack() const noexcept {
    return entries_.empty() || current_ == 0 ? nullptr : &entries_[current_ - 1];
}

const HistoryEntry* WindowHistory::PeekForward() const noexcept {
    return current_ + 1 >= entries_.size() ? nullptr : &entries_[current_ + 1];
}

void WindowHistory::RememberPlace(uint32_t generation, uint32_t own, const std::wstring& place) {
    for (HistoryEntry& entry : entries_) {
        const bool named = generation != 0 ? entry.generation == generation : own != 0 && entry.own == own;
        if (named) {
            entry.place = place;
        }
    }
}
