#include "net/socket_api.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace net::detail {

namespace {

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

Handle StartConnect(const Address& address) {
    const SOCKET s = ::socket(address.family, address.type, address.protocol);
    if (s == INVALID_SOCKET) {
        return kNoHandle;
    }
    if (SetBlocking(s, false) &&
        (::connect(s, reinterpret_cast<const sockaddr*>(address.bytes.data()),
                   static_cast<int>(address.bytes.size())) == 0 ||
         ::WSAGetLastError() == WSAEWOULDBLOCK)) {
        return static_cast<Handle>(s);
    }
    ::closesocket(s);
    return kNoHandle;
}

int WaitConnects(const Handle* pending, std::size_t count, int timeoutMs, bool& connected) {
    if (count > FD_SETSIZE) {
        count = FD_SETSIZE;
    }
    // Winsock reports a refused connect through the exception set, not the write set.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    for (std::size_t i = 0; i < count; ++i) {
        FD_SET(ToSocket(pending[i]), &writable);
        FD_SET(ToSocket(pending[i]), &failed);
    }
    timeval tv = ToTimeval(timeoutMs);
    if (::select(0, nullptr, &writable, &failed, &tv) <= 0) {
        return -1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const SOCKET s = ToSocket(pending[i]);
        if (FD_ISSET(s, &failed)) {
            connected = false;
            return static_cast<int>(i);
        }
        if (FD_ISSET(s, &writable)) {
            int error = 0;
            int length = sizeof error;
            connected = ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                     &length) == 0 &&
                        error == 0;
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool FinishConnect(Handle handle) {
    return SetBlocking(ToSocket(handle), true);
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
