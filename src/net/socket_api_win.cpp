#include "net/socket_api.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace net::detail {

namespace {

constexpr int kSliceMs = 100;

SOCKET ToSocket(Handle handle) {
    return static_cast<SOCKET>(handle);
}

timeval ToTimeval(int timeoutMs) {
    if (timeoutMs < 0) {
        timeoutMs = 0;
    }
    timeval tv;
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    return tv;
}

// 1 when readable (or at its end), 0 when timeoutMs ran out, -1 on failure.
int WaitReadable(Handle handle, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(ToSocket(handle), &readable);
    timeval tv = ToTimeval(timeoutMs);
    const int rc = ::select(0, &readable, nullptr, nullptr, &tv);
    return rc == SOCKET_ERROR ? -1 : (rc > 0 ? 1 : 0);
}

bool SetBlocking(SOCKET s, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ::ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

SOCKET ConnectOne(const Address& ai, int timeoutMs, const std::atomic<bool>& stop) {
    const SOCKET s = ::socket(ai.family, ai.type, ai.protocol);
    if (s == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    bool ok = SetBlocking(s, false);
    if (ok && ::connect(s, reinterpret_cast<const sockaddr*>(ai.bytes.data()),
                        static_cast<int>(ai.bytes.size())) != 0) {
        ok = ::WSAGetLastError() == WSAEWOULDBLOCK;
        if (ok) {
            // Winsock reports a refused connect through the exception set, not the write set.
            fd_set writable;
            fd_set failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            // In slices, so that a cancel is seen while the server keeps us waiting.
            const DWORD start = ::GetTickCount();
            int ready = 0;
            while (ready == 0 && !stop) {
                const int left = timeoutMs - static_cast<int>(::GetTickCount() - start);
                if (left <= 0) {
                    break;
                }
                FD_ZERO(&writable);
                FD_ZERO(&failed);
                FD_SET(s, &writable);
                FD_SET(s, &failed);
                timeval tv = ToTimeval(left < kSliceMs ? left : kSliceMs);
                ready = ::select(0, nullptr, &writable, &failed, &tv);
            }
            ok = ready == 1 && FD_ISSET(s, &writable);
        }
        if (ok) {
            int error = 0;
            int length = sizeof error;
            ok = ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
                     0 &&
                 error == 0;
        }
    }
    if (ok && SetBlocking(s, true)) {
        return s;
    }
    ::closesocket(s);
    return INVALID_SOCKET;
}

} // namespace

bool Startup() {
    // WSAStartup once per process; the layer stays up until the process ends.
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

void CloseHandle(Handle handle) {
    ::closesocket(ToSocket(handle));
}

void Shutdown(Handle handle) {
    ::shutdown(ToSocket(handle), SD_BOTH);
}

Handle ConnectAddress(const Address& address, int timeoutMs, const std::atomic<bool>& stop) {
    const auto s = ConnectOne(address, timeoutMs, stop);
    return s == INVALID_SOCKET ? kNoHandle : static_cast<Handle>(s);
}

long SendWithin(Handle handle, const char* data, std::size_t length, int timeoutMs) {
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(ToSocket(handle), &writable);
    timeval tv = ToTimeval(timeoutMs);
    const int rc = ::select(0, nullptr, &writable, nullptr, &tv);
    if (rc <= 0) {
        return rc == 0 ? 0 : -1;
    }
    // A writable blocking socket takes a small piece at once; a large one could wait for
    // the peer beyond the limit.
    const int chunk = length > 4096u ? 4096 : static_cast<int>(length);
    return ::send(ToSocket(handle), data, chunk, 0);
}

long ReceiveWithin(Handle handle, char* buffer, std::size_t capacity, int timeoutMs,
                   int& /*armedMs*/) {
    // select() first rather than SO_RCVTIMEO: after a timed-out recv Winsock leaves the
    // socket in an undefined state, and a peer that waits in slices must go on using it.
    const int ready = WaitReadable(handle, timeoutMs);
    if (ready <= 0) {
        return ready == 0 ? kTimedOut : -1;
    }
    const int chunk = capacity > 0x10000000u ? 0x10000000 : static_cast<int>(capacity);
    return ::recv(ToSocket(handle), buffer, chunk, 0);
}

bool SetNoDelay(Handle handle, bool on) {
    const BOOL value = on ? TRUE : FALSE;
    return ::setsockopt(ToSocket(handle), IPPROTO_TCP, TCP_NODELAY,
                        reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

Handle ListenLoopback(unsigned short port, unsigned short& boundPort) {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return kNoHandle;
    }
    // No SO_REUSEADDR here: on Windows it would let another socket steal the port.
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s, 8) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(s);
        return kNoHandle;
    }
    boundPort = ntohs(address.sin_port);
    return static_cast<Handle>(s);
}

Handle AcceptWithin(Handle listener, int timeoutMs) {
    if (WaitReadable(listener, timeoutMs) != 1) {
        return kNoHandle;
    }
    const SOCKET s = ::accept(ToSocket(listener), nullptr, nullptr);
    return s == INVALID_SOCKET ? kNoHandle : static_cast<Handle>(s);
}

} // namespace net::detail
