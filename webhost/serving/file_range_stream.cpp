#include "webhost/serving/file_range_stream.h"

#include "platform/com_adopt.h"
#include "webhost/browser/callback_object.h"

#include <wrl/client.h>

#include <climits>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

namespace {

class FileRangeStream final : public IStream, public IAgileObject {
public:
    FileRangeStream(std::shared_ptr<UniqueFile> file, uint64_t offset, uint64_t length,
                    uint64_t position) noexcept
        : file_(std::move(file)), offset_(offset), length_(length), position_(position) {}

    // Made once the stream has its first reference: the marshaler it aggregates delegates to it.
    static HRESULT Make(std::shared_ptr<UniqueFile> file, uint64_t offset, uint64_t length, uint64_t position,
                        IStream** stream) noexcept {
        *stream = nullptr;
        Microsoft::WRL::ComPtr<FileRangeStream> made =
            AdoptComPtr(new (std::nothrow) FileRangeStream(std::move(file), offset, length, position));
        if (!made) {
            return E_OUTOFMEMORY;
        }
        const HRESULT marshaler =
            ::CoCreateFreeThreadedMarshaler(static_cast<IStream*>(made.Get()), &made.Get()->marshaler_);
        if (FAILED(marshaler)) {
            return marshaler;
        }
        *stream = made.Detach();
        return S_OK;
    }
    FileRangeStream(const FileRangeStream&) = delete;
    FileRangeStream& operator=(const FileRangeStream&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) ||
            IsEqualIID(iid, IID_IStream)) {
            *object = static_cast<IStream*>(this);
        } else if (IsEqualIID(iid, IID_IAgileObject)) {
            *object = static_cast<IAgileObject*>(this);
        } else if (IsEqualIID(iid, IID_IMarshal) && marshaler_) {
            // Handed to another apartment, the stream goes as itself, not as a proxy back to this one.
            return marshaler_->QueryInterface(iid, object);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return references_.Increment(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = references_.Decrement();
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG wanted, ULONG* got) noexcept override {
        if (got != nullptr) {
            *got = 0;
        }
        if (buffer == nullptr) {
            return STG_E_INVALIDPOINTER;
        }
        const std::lock_guard lock(mutex_);
        const uint64_t left = position_ < length_ ? length_ - position_ : 0;
        const ULONG toRead = static_cast<ULONG>(left < wanted ? left : wanted);
        ULONG total = 0;
        while (total < toRead) {
            const uint64_t at = offset_ + position_;
            OVERLAPPED where{};
            where.Offset = static_cast<DWORD>(at);
            where.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD read = 0;
            if (!::ReadFile(file_->get(), static_cast<char*>(buffer) + total, toRead - total, &read,
                            &where)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_HANDLE_EOF) {
                    break; // the file shrank since it was opened
                }
                if (got != nullptr) {
                    *got = total;
                }
                return total > 0 ? S_FALSE : HRESULT_FROM_WIN32(error);
            }
            if (read == 0) {
                break;
            }
            total += read;
            position_ += read;
        }
        if (got != nullptr) {
            *got = total;
        }
        return total == wanted ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* written) noexcept override {
        if (written != nullptr) {
            *written = 0;
        }
        return STG_E_ACCESSDENIED;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* newPosition) noexcept override {
        const std::lock_guard lock(mutex_);
        int64_t base = 0;
        switch (origin) {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<int64_t>(position_);
            break;
        case STREAM_SEEK_END:
            base = static_cast<int64_t>(length_);
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        if ((move.QuadPart > 0 && base > INT64_MAX - move.QuadPart)) {
            return STG_E_INVALIDFUNCTION; // past any position a stream can have
        }
        const int64_t target = base + move.QuadPart;
        if (target < 0) {
            return STG_E_INVALIDFUNCTION;
        }
        position_ = static_cast<uint64_t>(target);
        if (newPosition != nullptr) {
            newPosition->QuadPart = position_;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD /*flags*/) noexcept override {
        if (stat == nullptr) {
            return STG_E_INVALIDPOINTER;
        }
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = length_;
        stat->grfMode = STGM_READ | STGM_SHARE_DENY_NONE;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) noexcept override {
        if (clone == nullptr) {
            return STG_E_INVALIDPOINTER;
        }
        uint64_t position = 0;
        {
            const std::lock_guard lock(mutex_);
            position = position_;
        }
        return Make(file_, offset_, length_, position, clone);
    }

    // A read-only stretch cannot change size, be written back or be locked.
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) noexcept override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept override {
        return STG_E_INVALIDFUNCTION;
    }

private:
    ~FileRangeStream() = default;

    // Shared with clones; each clone keeps its own position. Positional reads let them share it.
    const std::shared_ptr<UniqueFile> file_;
    const uint64_t offset_;
    const uint64_t length_;
    std::mutex mutex_;
    uint64_t position_;
    SaturatingRefCount references_;
    Microsoft::WRL::ComPtr<IUnknown> marshaler_; // the free-threaded marshaler's inner object
};

} // namespace

HRESULT CreateFileRangeStream(UniqueFile file, uint64_t offset, uint64_t length, IStream** stream) noexcept {
    if (stream == nullptr) {
        return E_POINTER;
    }
    *stream = nullptr;
    if (!file) {
        return E_INVALIDARG;
    }
    try {
        return FileRangeStream::Make(std::make_shared<UniqueFile>(std::move(file)), offset, length, 0,
                                     stream);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
