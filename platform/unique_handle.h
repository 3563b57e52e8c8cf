// Ownership of Win32 handles and platform-allocated memory from the moment they are acquired, so that
// no early return can leak one. Each traits type names the handle's "none" value and its release call.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

template <typename Traits> class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    [[nodiscard]] Type get() const noexcept { return value_; }
    [[nodiscard]] bool valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    void reset(Type value = Traits::invalid()) noexcept {
        Type old = std::exchange(value_, value);
        if (old != Traits::invalid()) {
            Traits::close(old);
        }
    }
    [[nodiscard]] Type release() noexcept { return std::exchange(value_, Traits::invalid()); }

    // For out-parameters: releases what is held and hands out the slot.
    [[nodiscard]] Type* put() noexcept {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::invalid();
};

struct FileHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Type h) noexcept { ::CloseHandle(h); }
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::CloseHandle(h); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::FreeLibrary(h); }
};

struct LocalMemTraits {
    using Type = HLOCAL;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::LocalFree(h); }
};

struct DeviceNotificationTraits {
    using Type = HDEVNOTIFY;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::UnregisterDeviceNotification(h); }
};

template <typename T> struct CoTaskMemTraits {
    using Type = T*;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type p) noexcept { ::CoTaskMemFree(p); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueLocalMem = UniqueHandle<LocalMemTraits>;
using UniqueDeviceNotification = UniqueHandle<DeviceNotificationTraits>;
using UniqueCoTaskString = UniqueHandle<CoTaskMemTraits<wchar_t>>;
