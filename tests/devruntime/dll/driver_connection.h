// The client library's loopback connection to the browser driver: framed sends from the user-interface
// thread, and a reader thread that hands each received frame to a callback (which must only queue work
// for the user-interface thread, never touch the program itself).
#pragma once

#include "platform/unique_handle.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

struct SocketTraits {
    using Type = SOCKET;
    static Type invalid() noexcept { return INVALID_SOCKET; }
    static void close(Type s) noexcept { ::closesocket(s); }
};
using UniqueSocket = UniqueHandle<SocketTraits>;

class DriverConnection {
public:
    // Called on the reader thread: one frame body, or `closed` once the driver has gone.
    using FrameCallback = std::function<void(std::string body)>;
    using ClosedCallback = std::function<void()>;

    DriverConnection() = default;
    DriverConnection(const DriverConnection&) = delete;
    DriverConnection& operator=(const DriverConnection&) = delete;
    ~DriverConnection();

    // Connects to 127.0.0.1:`port` (failing within seconds if nothing answers) and starts the reader thread.
    HRESULT Connect(unsigned short port, FrameCallback onFrame, ClosedCallback onClosed) noexcept;

    // Sends one frame; safe from any thread. Fails once the connection is closed.
    HRESULT Send(std::string_view body) noexcept;

    // Ends the connection: no more sends, and the reader thread finishes (waited for, briefly).
    void Close() noexcept;

private:
    static DWORD WINAPI ReaderMain(void* self) noexcept;
    void ReadFrames() noexcept;
    bool WaitReadable() noexcept;
    bool ReceiveExactly(char* buffer, size_t bytes) noexcept;

    bool winsockStarted_ = false;
    std::atomic<bool> stopping_{false};
    std::mutex sendMutex_;
    UniqueSocket socket_;
    UniqueKernelHandle reader_;
    FrameCallback onFrame_;
    ClosedCallback onClosed_;
};
