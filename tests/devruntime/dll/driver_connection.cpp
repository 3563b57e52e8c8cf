#include "driver_connection.h"

#include "wire_format.h"

#include <ws2tcpip.h>

#include <limits>

namespace {

// The reader waits for data in slices of this length and looks at the stop flag between them: a receive
// blocked in the socket is not reliably woken by a shutdown from another thread (Wine does not).
constexpr long kReadSliceUs = 50 * 1000;
// How long closing waits for the reader thread; a reader stuck in the middle of a frame from a hung driver
// must not keep the program from exiting.
constexpr DWORD kReaderExitWaitMs = 2000;
// The driver is on this machine: a connection neither made nor refused within this time never will be,
// and the program must not hang at start-up waiting for it.
constexpr long kConnectWaitS = 10;

HRESULT LastSocketError() noexcept {
    return HRESULT_FROM_WIN32(static_cast<DWORD>(::WSAGetLastError()));
}

HRESULT SetBlocking(SOCKET socket, bool blocking) noexcept {
    u_long nonBlocking = blocking ? 0 : 1;
    return ::ioctlsocket(socket, FIONBIO, &nonBlocking) == SOCKET_ERROR ? LastSocketError() : S_OK;
}

// Connects with a bound on the wait: a blocking connect has none of its own that we choose.
HRESULT ConnectWithin(SOCKET socket, const sockaddr_in& address, long waitS) noexcept {
    HRESULT hr = SetBlocking(socket, false);
    if (FAILED(hr)) {
        return hr;
    }
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR) {
        if (::WSAGetLastError() != WSAEWOULDBLOCK) {
            return LastSocketError();
        }
        fd_set made;
        fd_set failed;
        FD_ZERO(&made);
        FD_ZERO(&failed);
        FD_SET(socket, &made);
        FD_SET(socket, &failed);
        timeval wait{waitS, 0};
        const int ready = ::select(0, nullptr, &made, &failed, &wait);
        if (ready == SOCKET_ERROR) {
            return LastSocketError();
        }
        if (ready == 0) {
            return HRESULT_FROM_WIN32(WSAETIMEDOUT);
        }
        int error = 0;
        int size = sizeof(error);
        ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
        if (error != 0 || FD_ISSET(socket, &failed)) {
            return HRESULT_FROM_WIN32(static_cast<DWORD>(error != 0 ? error : WSAECONNREFUSED));
        }
    }
    return SetBlocking(socket, true);
}

} // namespace

DriverConnection::~DriverConnection() {
    Close();
    if (winsockStarted_) {
        ::WSACleanup();
    }
}

HRESULT DriverConnection::Connect(unsigned short port, FrameCallback onFrame,
                                  ClosedCallback onClosed) noexcept {
    WSADATA data{};
    const int started = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0) {
        return HRESULT_FROM_WIN32(static_cast<DWORD>(started));
    }
    winsockStarted_ = true;

    socket_.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_) {
        return LastSocketError();
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    const HRESULT hr = ConnectWithin(socket_.get(), address, kConnectWaitS);
    if (FAILED(hr)) {
        return hr;
    }
    // Records and page messages are small and interactive: send each at once.
    const BOOL noDelay = TRUE;
    ::setsockopt(socket_.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                 sizeof(noDelay));

    onFrame_ = std::move(onFrame);
    onClosed_ = std::move(onClosed);
    reader_.reset(::CreateThread(nullptr, 0, ReaderMain, this, 0, nullptr));
    if (!reader_) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    return S_OK;
}

HRESULT DriverConnection::Send(std::string_view body) noexcept {
    if (body.size() > kMaxFrameBytes) {
        return E_INVALIDARG;
    }
    try {
        const std::string header = FrameHeader(static_cast<uint32_t>(body.size()));
        const std::lock_guard lock(sendMutex_);
        if (!socket_) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_STATE);
        }
        for (const std::string_view part : {std::string_view(header), body}) {
            size_t sent = 0;
            while (sent < part.size()) {
                const size_t chunk = std::min<size_t>(part.size() - sent, std::numeric_limits<int>::max());
                const int result = ::send(socket_.get(), part.data() + sent, static_cast<int>(chunk), 0);
                if (result == SOCKET_ERROR) {
                    return LastSocketError();
                }
                sent += static_cast<size_t>(result);
            }
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void DriverConnection::Close() noexcept {
    stopping_ = true;
    {
        const std::lock_guard lock(sendMutex_);
        if (socket_) {
            ::shutdown(socket_.get(), SD_BOTH);
        }
    }
    if (reader_) {
        ::WaitForSingleObject(reader_.get(), kReaderExitWaitMs);
        reader_.reset();
    }
    const std::lock_guard lock(sendMutex_);
    socket_.reset();
}

DWORD WINAPI DriverConnection::ReaderMain(void* self) noexcept {
    static_cast<DriverConnection*>(self)->ReadFrames();
    return 0;
}

bool DriverConnection::WaitReadable() noexcept {
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_.get(), &readable);
        timeval slice{0, kReadSliceUs};
        const int ready = ::select(0, &readable, nullptr, nullptr, &slice);
        if (ready == SOCKET_ERROR) {
            return false;
        }
        if (ready > 0) {
            return true;
        }
    }
    return false;
}

bool DriverConnection::ReceiveExactly(char* buffer, size_t bytes) noexcept {
    size_t received = 0;
    while (received < bytes) {
        if (!WaitReadable()) {
            return false;
        }
        const size_t chunk = std::min<size_t>(bytes - received, std::numeric_limits<int>::max());
        const int result = ::recv(socket_.get(), buffer + received, static_cast<int>(chunk), 0);
        if (result <= 0) {
            return false;
        }
        received += static_cast<size_t>(result);
    }
    return true;
}

void DriverConnection::ReadFrames() noexcept {
    try {
        for (;;) {
            unsigned char header[kFrameHeaderBytes]{};
            if (!ReceiveExactly(reinterpret_cast<char*>(header), sizeof(header))) {
                break;
            }
            const uint32_t length = FrameLength(header);
            if (length > kMaxFrameBytes) {
                break;
            }
            std::string body(length, '\0');
            if (!ReceiveExactly(body.data(), body.size())) {
                break;
            }
            onFrame_(std::move(body));
        }
    } catch (...) {
        // Out of memory for a frame: treat it like a lost connection.
    }
    if (stopping_) {
        return; // closed from this side: nobody needs telling
    }
    try {
        onClosed_();
    } catch (...) {
        // Nothing to tell the program: it goes on without the driver either way.
    }
}
