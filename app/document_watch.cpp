#include "app/document_watch.h"

#include "app/watch_looks.h"

#include <utility>

namespace {

// Where change notification is not available.
constexpr UINT kPollMilliseconds = 1000;

} // namespace

void DocumentWatch::Start(HWND window, const std::wstring& fullPath, const std::wstring& name,
                          DocumentRead delivered) noexcept {
    Stop();
    if (window == nullptr || fullPath.empty()) {
        return;
    }
    try {
        name_ = name;
        shown_ = std::make_shared<const std::string>(std::move(delivered.bytes));
        window_ = window;
        const WPARAM ownCookie = FolderOpening::For(folders_[0]).cookie;
        const WPARAM finalCookie = FolderOpening::For(folders_[1]).cookie;
        const unsigned epoch = epoch_;
        auto look = [fullPath, window, ownCookie, finalCookie]() noexcept {
            return LookAtStart(fullPath, window, ownCookie, finalCookie);
        };
        auto started = [this, epoch, outcome = delivered.outcome,
                        stamp = delivered.stamp](StartLook&& found) noexcept {
            if (epoch == epoch_) {
                Started(std::move(found), outcome, stamp);
            }
        };
        looking_ = true;
        if (FAILED(SubmitSteps(jobs_, std::move(look), std::move(started)))) {
            Stop();
        }
    } catch (...) {
        Stop();
    }
}

void DocumentWatch::Started(StartLook&& look, ReadOutcome deliveredOutcome,
                            const FileStamp& deliveredStamp) noexcept {
    looking_ = false;
    if (!look.followable) {
        Stop(); // a folder has no content to follow
        return;
    }
    readPath_ = std::move(look.readPath);
    folders_[0].path = look.own.path;
    folders_[0].entry = look.own.entry;
    if (!look.own.InstallInto(folders_[0], window_)) {
        FallBackToPolling();
    }
    ApplyFinalPath(look.final);
    looked_ = look.stamp;
    if (deliveredOutcome == ReadOutcome::Busy) {
        // The delivery itself met a locked or changing file: the complete document follows shortly.
        Arm(settling_.RetryBusyDelivery(::GetTickCount64()));
    } else if (looked_ != deliveredStamp) {
        // Changed between the delivery's read and the start of the watch.
        NoteChange();
    }
    TakeWaitingCheck();
}

void DocumentWatch::ApplyFinalPath(FinalPathLook& look) noexcept {
    if (!look.known) {
        return; // not there yet: tried again at the next delivery
    }
    finalPathKnown_ = true;
    WatchedFolder& target = folders_[1];
    if (!look.elsewhere.IsAwaitedBy(target)) {
        return; // the final path is the document's own, or a later look took over
    }
    target.path = look.elsewhere.path;
    target.entry = look.elsewhere.entry;
    if (!look.elsewhere.InstallInto(target, window_)) {
        FallBackToPolling();
    }
}

void DocumentWatch::Stop() noexcept {
    ++epoch_;
    if (window_ != nullptr) {
        ::KillTimer(window_, kDocumentSettleTimer);
        ::KillTimer(window_, kDocumentPollTimer);
    }
    for (WatchedFolder& folder : folders_) {
        folder.Clear();
    }
    window_ = nullptr;
    finalPathKnown_ = false;
    polling_ = false;
    armed_ = false;
    looking_ = false;
    checkWaiting_ = false;
    checkPutOff_ = false;
    settling_.Reset();
    looked_ = {};
    readPath_.clear();
    name_.clear();
    shown_.reset(); // a large document's bytes are not kept past their use
}

std::vector<HANDLE> DocumentWatch::heldFolders() const {
    std::vector<HANDLE> held;
    for (const WatchedFolder& folder : folders_) {
        if (folder.watcher) {
            held.push_back(folder.watcher->folder());
        }
    }
    return held;
}

void DocumentWatch::ShowAgain() noexcept {
    if (window_ == nullptr) {
        return;
    }
    settling_.ShowAgain();
    // As a change: the read waits for a save in progress like any other.
    NoteChange();
}

bool DocumentWatch::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_TIMER && (wParam == kDocumentSettleTimer || wParam == kDocumentPollTimer)) {
        // A timer message may still be queued from a watch that has stopped.
        if (window_ != nullptr) {
            if (wParam == kDocumentSettleTimer) {
                Check();
            } else {
                Poll();
            }
        }
        return true;
    }
    if (message == kDocumentWatchMessage) {
        for (WatchedFolder& folder : folders_) {
            if (window_ == nullptr || !folder.watcher || folder.cookie != wParam) {
                continue;
            }
            if (lParam == FolderWatcher::kWatchFailed) {
                folder.LetGo(false);
                FallBackToPolling();
            }
            NoteChange();
        }
        return true;
    }
    if (message == WM_DEVICECHANGE) {
        return window_ != nullptr && HandleDeviceChange(wParam, lParam);
    }
    return false;
}

void DocumentWatch::RetryNotification() noexcept {
    const bool findFinalPath = !finalPathKnown_; // the file was not there when the watch began
    if (!findFinalPath && !polling_) {
        return;
    }
    try {
        auto look = std::make_unique<ReopenLook>();
        const WPARAM finalCookie = findFinalPath ? FolderOpening::For(folders_[1]).cookie : 0;
        for (size_t i = 0; i < 2 && polling_; ++i) {
            const WatchedFolder& folder = folders_[i];
            if (!folder.path.empty() && !folder.watcher && !folder.released) {
                look->folders[i] = FolderOpening::For(folders_[i]);
            }
        }
        const unsigned epoch = epoch_;
        auto reopen = [look = std::move(look), readPath = readPath_, finalCookie,
                       window = window_]() noexcept {
            if (finalCookie != 0) {
                look->final = LookAtFinalPath(readPath, finalCookie, window);
            }
            for (FolderOpening& opening : look->folders) {
                opening.Open(window);
            }
            return std::move(*look);
        };
        auto reopened = [this, epoch](ReopenLook&& found) noexcept {
            if (epoch == epoch_) {
                Reopened(std::move(found));
            }
        };
        SubmitSteps(jobs_, std::move(reopen), std::move(reopened)); // no worker: tried at the next delivery
    } catch (...) {
        // Out of memory: tried again at the next delivery.
    }
}

void DocumentWatch::Reopened(ReopenLook&& look) noexcept {
    ApplyFinalPath(look.final);
    if (!polling_) {
        return;
    }
    bool all = true;
    for (size_t i = 0; i < 2; ++i) {
        WatchedFolder& folder = folders_[i];
        if (folder.path.empty() || folder.watcher) {
            continue;
        }
        if (folder.released || !look.folders[i].IsAwaitedBy(folder) ||
            !look.folders[i].InstallInto(folder, window_)) {
            all = false;
        }
    }
    if (all) {
        ::KillTimer(window_, kDocumentPollTimer);
        polling_ = false;
    }
}

void DocumentWatch::NoteChange() noexcept {
    if (const std::optional<UINT> delay = settling_.DelayAfterChange(::GetTickCount64(), armed_)) {
        Arm(*delay);
    }
}

void DocumentWatch::Arm(UINT milliseconds) noexcept {
    // Setting the timer again restarts it.
    armed_ = ::SetTimer(window_, kDocumentSettleTimer, milliseconds, nullptr) != 0;
}

bool DocumentWatch::TakeWaitingCheck() noexcept {
    if (!checkWaiting_) {
        return false;
    }
    checkWaiting_ = false;
    if (!armed_) {
        Arm(0);
    }
    return true;
}

void DocumentWatch::Poll() noexcept {
    if (armed_ || Releasing() || looking_) {
        return; // a check is due anyway (it compares with the look before it), the device is going, or
                // a look is on its way
    }
    try {
        const unsigned epoch = epoch_;
        auto look = [readPath = readPath_]() noexcept { return StampOfPath(readPath); };
        auto looked = [this, epoch](FileStamp&& now) noexcept {
            if (epoch != epoch_) {
                return;
            }
            looking_ = false;
            if (TakeWaitingCheck() || armed_ || Releasing()) {
                return;
            }
            if (now != looked_) {
                looked_ = now;
                NoteChange();
            }
        };
        looking_ = true;
        if (FAILED(SubmitSteps(jobs_, std::move(look), std::move(looked)))) {
            looking_ = false; // looked at again in a second
        }
    } catch (...) {
        looking_ = false;
    }
}

void DocumentWatch::FallBackToPolling() noexcept {
    if (!polling_) {
        polling_ = ::SetTimer(window_, kDocumentPollTimer, kPollMilliseconds, nullptr) != 0;
    }
}

void DocumentWatch::Check() noexcept {
    ::KillTimer(window_, kDocumentSettleTimer);
    armed_ = false;
    if (Releasing()) {
        checkPutOff_ = true; // its timer message was already on its way
        return;
    }
    if (looking_) {
        checkWaiting_ = true;
        return;
    }
    // Within the deadline the file must hold still from one look to the next; past it, a file written
    // without pause is taken as soon as one read of it is not disturbed.
    const bool overdue = settling_.Overdue(::GetTickCount64());
    try {
        const unsigned epoch = epoch_;
        auto look = [readPath = readPath_, overdue, looked = looked_, shown = shown_]() noexcept {
            return LookAndRead(readPath, overdue, looked, shown.get());
        };
        auto checked = [this, epoch, overdue](CheckedRead&& found) noexcept {
            if (epoch == epoch_) {
                Checked(overdue, std::move(found));
            }
        };
        looking_ = true;
        if (SUCCEEDED(SubmitSteps(jobs_, std::move(look), std::move(checked)))) {
            return;
        }
    } catch (...) {
    }
    // No worker to be had, or no memory: as a busy file, looked at again later.
    looking_ = false;
    Arm(kPollMilliseconds);
}

void DocumentWatch::Checked(bool overdue, CheckedRead&& checked) noexcept {
    looking_ = false;
    if (checked.moved) {
        looked_ = checked.seen;
    } else if (checked.read.stamp.exists || checked.read.outcome == ReadOutcome::Absent) {
        looked_ = checked.read.stamp;
    }
    const Verdict verdict = settling_.Judge(checked, overdue, ::GetTickCount64());
    switch (verdict.kind) {
    case Verdict::Kind::LookAgain:
        Arm(verdict.afterMilliseconds);
        break;
    case Verdict::Kind::Nothing:
        break;
    case Verdict::Kind::Deliver:
        try {
            shown_ = std::make_shared<const std::string>(std::move(checked.read.bytes));
        } catch (...) {
            Arm(kPollMilliseconds); // no memory to keep them: read again later
            break;
        }
        deliver_(name_, shown_);
        RetryNotification();
        break;
    }
    TakeWaitingCheck();
}
