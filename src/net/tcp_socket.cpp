#include "net/tcp_socket.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "net/connect_race.h"
#include "net/socket_api.h"

namespace net {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSlice = std::chrono::milliseconds(100);

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// The system's lookup can take minutes on a broken resolver, and nothing can cancel it:
// it runs on a thread of its own, and the caller stops waiting at the deadline. The
// thread then finishes alone and frees what it shares with no one.
bool ResolveWithin(const std::string& host, unsigned short port, Clock::time_point deadline,
                   const std::atomic<bool>& stop, std::vector<detail::Address>& found) {
    if (detail::Resolve(host, port, true, found)) {
        return true; // an address needs no lookup, and no thread
    }
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool ok = false;
        std::vector<detail::Address> found;
    };
    const auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host, port] {
            std::vector<detail::Address> addresses;
            const bool ok = detail::Resolve(host, port, false, addresses);
            std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->ok = ok;
            lookup->found = std::move(addresses);
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return false; // no thread to spare: no connection either
    }
    std::unique_lock<std::mutex> lock(lookup->mutex);
    // In slices, so that a cancel is seen while the lookup runs.
    while (!lookup->finished) {
        if (stop || Clock::now() >= deadline) {
            return false;
        }
        lookup->done.wait_until(lock, std::min(deadline, Clock::now() + kSlice));
    }
    found = std::move(lookup->found);
    return lookup->ok;
}

} // namespace

bool InitSockets() {
    return detail::Startup();
}

TcpSocket::~TcpSocket() {
    Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : Stream(), m_handle(std::exchange(other.m_handle, detail::kNoHandle)),
      m_cancel(std::move(other.m_cancel)), m_armedMs(std::exchange(other.m_armedMs, -1)) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, detail::kNoHandle);
        m_cancel = std::move(other.m_cancel);
        m_armedMs = std::exchange(other.m_armedMs, -1);
    }
    return *this;
}

bool TcpSocket::Connect(const std::string& host, unsigned short port, int timeoutMs) {
    Close();
    if (!InitSockets()) {
        return false;
    }
    static const std::atomic<bool> never{false};
    const std::atomic<bool>& stop = m_cancel ? m_cancel->Flag() : never;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<detail::Address> addresses;
    if (!ResolveWithin(host, port, deadline, stop, addresses)) {
        return false;
    }
    m_handle = detail::ConnectFirst(detail::InterleaveFamilies(addresses), deadline, stop);
    if (!IsOpen()) {
        return false;
    }
    // Registered before any wait on it, so a cancel from now on reaches it.
    if (m_cancel && !m_cancel->Register(m_handle)) {
        Close();
        return false;
    }
    return true;
}

bool TcpSocket::SendAll(const char* data, std::size_t length, int timeoutMs) {
    if (!IsOpen()) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (length > 0) {
        if (Cancelled()) {
            return false;
        }
        const int left = MillisecondsUntil(deadline);
        const long sent = detail::SendWithin(m_handle, data, length, WaitSlice(left));
        if (sent == 0 && left > WaitSlice(left)) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        data += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

RecvResult TcpSocket::Receive(char* buffer, std::size_t capacity, int timeoutMs) {
    if (!IsOpen() || capacity == 0) {
        return {RecvStatus::Error, 0};
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    long got = detail::kTimedOut;
    for (;;) {
        if (Cancelled()) {
            return {RecvStatus::Error, 0};
        }
        const int left = MillisecondsUntil(deadline);
        got = detail::ReceiveWithin(m_handle, buffer, capacity, WaitSlice(left), m_armedMs);
        if (got != detail::kTimedOut || left <= WaitSlice(left)) {
            break;
        }
    }
    if (got == detail::kTimedOut) {
        return {RecvStatus::TimedOut, 0};
    }
    if (got < 0) {
        return {RecvStatus::Error, 0};
    }
    if (got == 0) {
        return {RecvStatus::Closed, 0};
    }
    return {RecvStatus::Data, static_cast<std::size_t>(got)};
}

bool TcpSocket::SetNoDelay(bool on) {
    return IsOpen() && detail::SetNoDelay(m_handle, on);
}

bool TcpSocket::Cancelled() const {
    return m_cancel && m_cancel->IsCancelled();
}

int TcpSocket::WaitSlice(int leftMs) const {
    // A cancel shuts the socket down, but not every Winsock wakes a select() for that (Wine
    // does not): with a cancel signal, waits go in short slices that look at its flag.
    constexpr int kSliceMs = 100;
    return m_cancel && leftMs > kSliceMs ? kSliceMs : std::max(leftMs, 0);
}

bool TcpSocket::IsOpen() const {
    return m_handle != detail::kNoHandle;
}

void TcpSocket::Close() {
    if (IsOpen()) {
        if (m_cancel) {
            m_cancel->Unregister(m_handle);
        }
        detail::CloseHandle(m_handle);
        m_handle = detail::kNoHandle;
        m_armedMs = -1;
    }
}

TcpSocket TcpSocket::Adopt(std::intptr_t handle) {
    TcpSocket socket;
    socket.m_handle = handle;
    return socket;
}

} // namespace net
