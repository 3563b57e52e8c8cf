#include "app/page_outbox.h"

#include "webhost/browser/browser_references.h"

#include <deque>
#include <utility>

namespace {

struct Waiting {
    DeliveryPlace place = 0; // 0: a message made ready when it was posted
    bool ready = false;
    std::wstring message;
};

DeliveryPlace g_lastPlace = 0;
std::deque<Waiting> g_waiting;

void PostNow(const std::wstring& message) {
    if (g_webView && !message.empty()) {
        g_webView->PostWebMessageAsJson(message.c_str());
    }
}

// Posts what is ready at the front, up to the first delivery still on its way.
void Flush() noexcept {
    while (!g_waiting.empty() && g_waiting.front().ready) {
        const Waiting next = std::move(g_waiting.front());
        g_waiting.pop_front();
        try {
            PostNow(next.message);
        } catch (...) {
            // Out of memory on the way: this message is lost, as a refused post; the others still go.
        }
    }
}

} // namespace

DeliveryPlace KeepPlaceForDelivery() noexcept {
    try {
        g_waiting.push_back(Waiting{++g_lastPlace, false, {}});
        return g_lastPlace;
    } catch (...) {
        return 0;
    }
}

void FillPlace(DeliveryPlace place, const std::wstring& message) noexcept {
    if (place == 0) {
        try {
            PostNow(message);
        } catch (...) {
        }
        return;
    }
    for (Waiting& waiting : g_waiting) {
        if (waiting.place == place) {
            try {
                waiting.message = message;
            } catch (...) {
                waiting.message.clear();
            }
            waiting.ready = true;
            break;
        }
    }
    Flush();
}

void CallOffDeliveries() noexcept {
    for (Waiting& waiting : g_waiting) {
        if (!waiting.ready) {
            waiting.ready = true;
            waiting.message.clear();
            waiting.place = 0; // its result finds no place any more
        }
    }
    Flush();
}

void PostToPage(const std::wstring& message) {
    if (g_waiting.empty()) {
        PostNow(message);
        return;
    }
    g_waiting.push_back(Waiting{0, true, message});
}
