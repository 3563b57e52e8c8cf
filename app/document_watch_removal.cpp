// The watch's part in the removal of a device: a watched folder on a device the user asks to remove is
// let go at once, and no timer looks at the file until the removal completes or fails, so that the watch
// never keeps the device in use (declared in document_watch.h).
#include "app/document_watch.h"

#include "platform/device_removal.h"

#include <utility>

void DocumentWatch::ReopenAfterFailedRemoval(size_t index) noexcept {
    try {
        const unsigned epoch = epoch_;
        auto reopen = [opening = FolderOpening::For(folders_[index]), window = window_]() mutable noexcept {
            opening.Open(window);
            return std::move(opening);
        };
        auto reopened = [this, epoch, index](FolderOpening&& opening) noexcept {
            WatchedFolder& folder = folders_[index];
            if (epoch != epoch_ || !opening.IsAwaitedBy(folder)) {
                return; // let go again, or another watch
            }
            if (!opening.InstallInto(folder, window_)) {
                FallBackToPolling();
            }
            ResumeAfterRemoval();
        };
        if (SUCCEEDED(SubmitSteps(jobs_, std::move(reopen), std::move(reopened)))) {
            return;
        }
    } catch (...) {
        // Out of memory: as a folder that cannot be watched.
    }
    folders_[index].released = false;
    FallBackToPolling();
    ResumeAfterRemoval();
}

bool DocumentWatch::HandleDeviceChange(WPARAM event, LPARAM lParam) noexcept {
    const DEV_BROADCAST_HANDLE* notice = HandleNotice(lParam);
    if (notice == nullptr) {
        return false;
    }
    bool ours = false;
    for (size_t i = 0; i < 2; ++i) {
        WatchedFolder& folder = folders_[i];
        if (!folder.IsNamedBy(*notice)) {
            continue;
        }
        ours = true;
        switch (event) {
        case DBT_DEVICEQUERYREMOVE:
            // The removal goes ahead only if no handle stays open on the device: let go at once. The
            // registration stays, to hear whether the removal went ahead. Until then no timer looks
            // at the device, lest a look hold it at the wrong moment: a check already due waits.
            folder.LetGo(true);
            folder.released = true;
            if (armed_) {
                ::KillTimer(window_, kDocumentSettleTimer);
                armed_ = false;
                checkPutOff_ = true;
            }
            break;
        case DBT_DEVICEQUERYREMOVEFAILED:
            // Something else kept the device in use: it stays, and so does the watch (the folder
            // counts as let go until it is open again).
            if (folder.released) {
                ReopenAfterFailedRemoval(i);
            } else {
                ResumeAfterRemoval();
            }
            break;
        case DBT_DEVICEREMOVEPENDING:
        case DBT_DEVICEREMOVECOMPLETE:
            // Gone, with the document: the once-a-second look notices when it comes back, and the
            // delivery that follows tries notification again.
            folder.LetGo(false);
            folder.released = false;
            FallBackToPolling();
            ResumeAfterRemoval();
            break;
        default:
            break;
        }
    }
    return ours;
}

bool DocumentWatch::Releasing() const noexcept {
    for (const WatchedFolder& folder : folders_) {
        if (folder.released) {
            return true;
        }
    }
    return false;
}

void DocumentWatch::ResumeAfterRemoval() noexcept {
    if (checkPutOff_ && !Releasing()) {
        checkPutOff_ = false;
        NoteChange();
    }
}
