#include "net/tcp_socket.h"

#include <chrono>
#include <utility>

#include "net/socket_api.h"

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
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
      m_armedMs(std::exchange(other.m_armedMs, -1)) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, detail::kNoHandle);
        m_armedMs = std::exchange(other.m_armedMs, -1);
    }
    return *this;
}

bool TcpSocket::Connect(const std::string& host, unsigned short port, int timeoutMs) {
    Close();
    if (!InitSockets()) {
        return false;
    }
    m_handle = detail::ConnectTo(host, port, timeoutMs);
    return IsOpen();
}

bool TcpSocket::SendAll(const char* data, std::size_t length, int timeoutMs) {
    if (!IsOpen()) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (length > 0) {
        const long sent = detail::SendWithin(m_handle, data, length, MillisecondsUntil(deadline));
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
    const long got = detail::ReceiveWithin(m_handle, buffer, capacity, timeoutMs, m_armedMs);
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

bool TcpSocket::IsOpen() const {
    return m_handle != detail::kNoHandle;
}

void TcpSocket::Close() {
    if (IsOpen()) {
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
