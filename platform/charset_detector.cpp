#include "platform/charset_detector.h"

#include "platform/module_export.h"
#include "platform/unique_handle.h"

#include <windows.h>

#include <cstdint>

namespace {

// ICU's C interface as icu.dll exports it (names without a version suffix). Errors are numbers, and
// only those above zero are failures.
struct UCharsetDetector;
struct UCharsetMatch;
using UErrorCode = int;

using OpenFunction = UCharsetDetector* (*)(UErrorCode*);
using CloseFunction = void (*)(UCharsetDetector*);
using SetTextFunction = void (*)(UCharsetDetector*, const char*, int32_t, UErrorCode*);
using DetectAllFunction = const UCharsetMatch** (*)(UCharsetDetector*, int32_t*, UErrorCode*);
using GetNameFunction = const char* (*)(const UCharsetMatch*, UErrorCode*);
using GetConfidenceFunction = int32_t (*)(const UCharsetMatch*, UErrorCode*);

// The detector reads no further than this: more text decides nothing a long document's opening does not.
constexpr size_t kMostBytesLookedAt = 64 * 1024;

struct Detector {
    UniqueModule module;
    OpenFunction open = nullptr;
    CloseFunction close = nullptr;
    SetTextFunction setText = nullptr;
    DetectAllFunction detectAll = nullptr;
    GetNameFunction getName = nullptr;
    GetConfidenceFunction getConfidence = nullptr;

    Detector() noexcept {
        // The system folder only: a file of that name beside the program or in the current folder is
        // never loaded.
        module.reset(::LoadLibraryExW(L"icu.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        open = FindExport<OpenFunction>(module.get(), "ucsdet_open");
        close = FindExport<CloseFunction>(module.get(), "ucsdet_close");
        setText = FindExport<SetTextFunction>(module.get(), "ucsdet_setText");
        detectAll = FindExport<DetectAllFunction>(module.get(), "ucsdet_detectAll");
        getName = FindExport<GetNameFunction>(module.get(), "ucsdet_getName");
        getConfidence = FindExport<GetConfidenceFunction>(module.get(), "ucsdet_getConfidence");
    }

    bool usable() const noexcept { return open && close && setText && detectAll && getName && getConfidence; }
};

const Detector& SystemDetector() noexcept {
    static const Detector detector; // thread-safe initialisation: readers on workers share it
    return detector;
}

bool Failed(UErrorCode status) noexcept {
    return status > 0;
}

} // namespace

bool HasCharsetDetector() noexcept {
    return SystemDetector().usable();
}

std::vector<CharsetGuess> GuessCharsets(const char* bytes, size_t count) noexcept {
    std::vector<CharsetGuess> guesses;
    const Detector& detector = SystemDetector();
    if (!detector.usable() || count == 0) {
        return guesses;
    }
    UErrorCode status = 0;
    UCharsetDetector* session = detector.open(&status);
    if (session == nullptr || Failed(status)) {
        return guesses;
    }
    try {
        const auto length = static_cast<int32_t>(count < kMostBytesLookedAt ? count : kMostBytesLookedAt);
        detector.setText(session, bytes, length, &status);
        int32_t found = 0;
        const UCharsetMatch** matches =
            Failed(status) ? nullptr : detector.detectAll(session, &found, &status);
        for (int32_t i = 0; matches != nullptr && !Failed(status) && i < found; ++i) {
            const char* name = detector.getName(matches[i], &status);
            const int32_t confidence = detector.getConfidence(matches[i], &status);
            if (name != nullptr && !Failed(status)) {
                guesses.push_back({name, static_cast<int>(confidence)});
            }
        }
    } catch (...) {
        guesses.clear(); // out of memory: no guesses
    }
    detector.close(session);
    return guesses;
}
