// The host's callback objects: small COM objects that implement IUnknown and exactly one handler
// interface of the browser control, and own copies of whatever they capture.
#pragma once

#include "platform/com_adopt.h"

#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <atomic>
#include <new>
#include <utility>

// A COM reference count changed atomically. It starts at 1 and returns the count after each change.
// Once it reaches 0x7FFFFFFF it never changes again: an object counted that often is kept alive for
// good rather than risk a wrapped count destroying it while still in use.
class SaturatingRefCount {
public:
    static constexpr ULONG kSaturated = 0x7FFFFFFF;

    explicit SaturatingRefCount(ULONG initial = 1) noexcept : count_(initial) {}

    ULONG Increment() noexcept {
        ULONG current = count_.load();
        while (current != kSaturated) {
            if (count_.compare_exchange_weak(current, current + 1)) {
                return current + 1;
            }
        }
        return kSaturated;
    }

    ULONG Decrement() noexcept {
        ULONG current = count_.load();
        while (current != kSaturated) {
            if (count_.compare_exchange_weak(current, current - 1)) {
                return current - 1;
            }
        }
        return current;
    }

    ULONG Value() const noexcept { return count_.load(); }

private:
    std::atomic<ULONG> count_;
};

// Base of each callback object. `Interface` is the handler interface and `InterfaceId` its IID. The
// derived class adds Invoke; its virtual destructor follows Invoke in the table.
template <typename Interface, const IID& InterfaceId> class CallbackObject : public Interface {
public:
    CallbackObject(const CallbackObject&) = delete;
    CallbackObject& operator=(const CallbackObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept final {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, InterfaceId)) {
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept final { return references_.Increment(); }

    ULONG STDMETHODCALLTYPE Release() noexcept final {
        const ULONG left = references_.Decrement();
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    CallbackObject() noexcept = default;
    virtual ~CallbackObject() = default;

private:
    SaturatingRefCount references_;
};

// Makes a callback object holding its first reference. Null when it cannot be made (no memory for the
// object or for its captured copies); the platform call it was meant for then gets no handler.
template <typename Object, typename... Args>
Microsoft::WRL::ComPtr<Object> MakeCallback(Args&&... args) noexcept {
    try {
        return AdoptComPtr(new Object(std::forward<Args>(args)...));
    } catch (...) {
        return nullptr;
    }
}
