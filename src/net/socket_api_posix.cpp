#include "net/socket_api.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace net::detail {

namespace {

using Clock = std::chrono::steady_clock;

int ToFd(Handle handle) {
    return static_cast<int>(handle);
}

// poll() that survives signals without stretching the overall limit.
int PollFor(int fd, short events, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (rc >= 0) {
            return rc > 0 ? 1 : 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

bool SetBlocking(int fd, bool blocking) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, wanted) == 0;
}

} // namespace

bool Startup() {
    return true;
}

void CloseHandle(Handle handle) {
    ::close(ToFd(handle));
}

void Shutdown(Handle handle) {
    ::shutdown(ToFd(handle), SHUT_RDWR);
}

Handle StartConnect(const Address& address) {
    const int fd = ::socket(address.family, address.type | SOCK_CLOEXEC, address.protocol);
    if (fd < 0) {
        return kNoHandle;
    }
    if (SetBlocking(fd, false) &&
        (::connect(fd, reinterpret_cast<const sockaddr*>(address.bytes.data()),
                   static_cast<socklen_t>(address.bytes.size())) == 0 ||
         errno == EINPROGRESS)) {
        return fd;
    }
    ::close(fd);
    return kNoHandle;
}

int WaitConnects(const Handle* pending, std::size_t count, int timeoutMs, bool& connected) {
    std::vector<pollfd> polled(count);
    for (std::size_t i = 0; i < count; ++i) {
        polled[i] = {ToFd(pending[i]), POLLOUT, 0};
    }
    int rc = -1;
    do {
        rc = ::poll(polled.data(), static_cast<nfds_t>(count), timeoutMs > 0 ? timeoutMs : 0);
    } while (rc < 0 && errno == EINTR); // a signal at worst repeats one short slice
    for (std::size_t i = 0; rc > 0 && i < count; ++i) {
        if (polled[i].revents != 0) {
            int error = 0;
            socklen_t length = sizeof error;
            connected = ::getsockopt(polled[i].fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                        error == 0;
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool FinishConnect(Handle handle) {
    return SetBlocking(ToFd(handle), true);
}

long SendWithin(Handle handle, const char* data, std::size_t length, int timeoutMs) {
    const int ready = PollFor(ToFd(handle), POLLOUT, timeoutMs);
    if (ready <= 0) {
        return ready;
    }
    for (;;) {
        // MSG_NOSIGNAL: a peer that went away is a failed send, not a dead process.
        // MSG_DONTWAIT: take only what fits now, so the time limit holds.
        const ssize_t sent = ::send(ToFd(handle), data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            return static_cast<long>(sent);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

long ReceiveWithin(Handle handle, char* buffer, std::size_t capacity, int timeoutMs, int& armedMs) {
    // The kernel keeps the time limit (SO_RCVTIMEO), so a receive is one system call instead
    // of poll() and recv(). Zero would mean no limit at all.
    const int fd = ToFd(handle);
    int limitMs = timeoutMs > 0 ? timeoutMs : 1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        if (limitMs != armedMs) {
            const timeval limit{limitMs / 1000, (limitMs % 1000) * 1000};
            if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) {
                return -1;
            }
            armedMs = limitMs;
        }
        const ssize_t got = ::recv(fd, buffer, capacity, 0);
        if (got >= 0) {
            return static_cast<long>(got);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return kTimedOut;
        }
        if (errno != EINTR) {
            return -1;
        }
        // A signal cut the wait short: wait only for what is left of the limit.
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return kTimedOut;
        }
        limitMs = static_cast<int>(left);
    }
}

bool SetNoDelay(Handle handle, bool on) {
    const int value = on ? 1 : 0;
    return ::setsockopt(ToFd(handle), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0;
}

Handle ListenLoopback(unsigned short port, unsigned short& boundPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return kNoHandle;
    }
    const int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return kNoHandle;
    }
    boundPort = ntohs(address.sin_port);
    return fd;
}

Handle AcceptWithin(Handle listener, int timeoutMs) {
    if (PollFor(ToFd(listener), POLLIN, timeoutMs) != 1) {
        return kNoHandle;
    }
    const int fd = ::accept4(ToFd(listener), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kNoHandle : fd;
}

} // namespace net::detail
