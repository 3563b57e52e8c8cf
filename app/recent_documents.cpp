#include "app/recent_documents.h"

#include "platform/long_path.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <memory>

namespace {

// The shell makes the shortcut through COM objects, so the worker is a single-threaded apartment for
// the length of the call (and only then: the thread goes back to the pool as it came).
class ApartmentForThisCall {
public:
    ApartmentForThisCall() noexcept
        : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ApartmentForThisCall() {
        if (initialised_) {
            ::CoUninitialize();
        }
    }
    ApartmentForThisCall(const ApartmentForThisCall&) = delete;
    ApartmentForThisCall& operator=(const ApartmentForThisCall&) = delete;

private:
    bool initialised_;
};

// The shell knows paths in their plain form: an extended-length prefix (\\?\C:\..., \\?\UNC\server\...),
// which a followed link's final path may carry, is taken off.
std::wstring PlainPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return L"\\\\" + path.substr(8);
    }
    if (path.rfind(L"\\\\?\\", 0) == 0 && path.size() > 5 && path[5] == L':') {
        return path.substr(4);
    }
    return path;
}

void CALLBACK AddOnWorker(PTP_CALLBACK_INSTANCE /*instance*/, void* context) noexcept {
    const std::unique_ptr<std::wstring> path(static_cast<std::wstring*>(context));
    const DWORD attributes = ::GetFileAttributesW(path->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return;
    }
    const ApartmentForThisCall apartment;
    ::SHAddToRecentDocs(SHARD_PATHW, path->c_str());
}

} // namespace

void AddToRecentDocuments(const std::wstring& path) noexcept {
    try {
        auto full = std::make_unique<std::wstring>(PlainPath(FullPath(path)));
        if (full->empty() || full->size() >= MAX_PATH) {
            return;
        }
        if (::TrySubmitThreadpoolCallback(AddOnWorker, full.get(), nullptr)) {
            static_cast<void>(full.release()); // the worker owns it now
        }
    } catch (...) {
        // Out of memory: the document is simply not remembered.
    }
}
