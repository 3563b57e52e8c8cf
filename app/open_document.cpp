#include "app/open_document.h"

#include "app/export_document.h"

#include "app/current_document.h"
#include "app/document_decoding.h"
#include "app/document_jobs.h"
#include "app/document_text.h"
#include "app/host_state.h"
#include "app/page_outbox.h"
#include "app/recent_documents.h"
#include "platform/long_path.h"
#include "webhost/browser/browser_references.h"
#include "webhost/messages/host_messages.h"

#include <shlwapi.h>

#include <utility>

namespace {

// Counts the deliveries asked for, so that a worker's late result never overtakes a later one's.
uint64_t g_lastDelivery = 0;

// What a worker hands back: the read (for the watch) and the message made of it; an empty message when
// there was no memory to make it.
struct Delivery {
    DocumentRead read;
    std::wstring message;
};

std::wstring ComposeOrNothing(const std::wstring& name, std::string_view bytes, uint32_t generation,
                              const DocumentLanding& landing, bool missing, const std::wstring& fullPath,
                              std::wstring_view encoding) noexcept {
    try {
        const DecodedDocument decoded = DecodeDocument(bytes, encoding);
        return ComposeOpenFileMessage(name, decoded.text, generation, landing, missing, fullPath,
                                      decoded.encoding);
    } catch (...) {
        return {}; // out of memory: the page keeps what it shows, as after a refused post
    }
}

} // namespace

std::wstring DocumentNameFromPath(const std::wstring& path) {
    return ::PathFindFileNameW(path.c_str());
}

uint32_t OpenDocument(const std::wstring& path, const DocumentLanding& landing, bool sayWhenMissing) {
    if (!g_webView) {
        return 0;
    }
    // An export from the command line is no document the user opened.
    if (!g_commandLineExport.active) {
        AddToRecentDocuments(path);
    }
    std::wstring name = DocumentNameFromPath(path);
    std::wstring fullPath = FullPath(path);
    const uint32_t generation = NextDocumentGeneration();
    const uint64_t delivery = ++g_lastDelivery;
    BeginCurrentDocument(path, generation); // calls off the delivery before, should it still be on its way
    const DeliveryPlace place = KeepPlaceForDelivery();
    auto work = [path, name, fullPath, generation, landing, sayWhenMissing]() noexcept {
        Delivery done;
        done.read = ReadDocumentBytes(path);
        done.message =
            ComposeOrNothing(name, done.read.bytes, generation, landing,
                             sayWhenMissing && done.read.outcome == ReadOutcome::Absent, fullPath, {});
        return done;
    };
    auto finish = [name = std::move(name), generation, delivery, place](Delivery&& done) noexcept {
        if (delivery != g_lastDelivery || generation != CurrentDocumentGeneration() || done.message.empty()) {
            FillPlace(place, {}); // replaced, closed or not made meanwhile
            return;
        }
        FillPlace(place, done.message);
        WatchCurrentDocument(g_mainWindow, generation, name, std::move(done.read));
    };
    if (FAILED(SubmitSteps(DocumentJobs(), std::move(work), std::move(finish)))) {
        FillPlace(place, {}); // no worker: nothing arrives
    }
    return generation;
}

void PostDocumentAgain(const std::wstring& name, const std::wstring& fullPath,
                       std::shared_ptr<const std::string> bytes, uint32_t generation,
                       const std::wstring& encoding) noexcept {
    if (!g_webView || !bytes) {
        return;
    }
    try {
        const uint64_t delivery = ++g_lastDelivery;
        auto work = [name, fullPath, bytes = std::move(bytes), generation, encoding]() noexcept {
            return ComposeOrNothing(name, *bytes, generation, {}, false, fullPath, encoding);
        };
        auto finish = [generation, delivery](std::wstring&& message) noexcept {
            if (delivery != g_lastDelivery || generation != CurrentDocumentGeneration()) {
                return;
            }
            try {
                PostToPage(message);
            } catch (...) {
                // Out of memory on the way: the page keeps what it shows, as after a refused post.
            }
        };
        SubmitSteps(DocumentJobs(), std::move(work), std::move(finish));
    } catch (...) {
        // Out of memory for the job: the page keeps what it shows.
    }
}
