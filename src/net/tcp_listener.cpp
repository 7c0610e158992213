#include "net/tcp_listener.h"

#include <utility>

#include "net/socket_api.h"

namespace net {

TcpListener::~TcpListener() {
    Close();
}

TcpListener::TcpListener(TcpListener&& other) noexcept
    : m_handle(std::exchange(other.m_handle, detail::kNoHandle)),
      m_port(std::exchange(other.m_port, 0)) {}

TcpListener& TcpListener::operator=(TcpListener&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, detail::kNoHandle);
        m_port = std::exchange(other.m_port, 0);
    }
    return *this;
}

bool TcpListener::Listen(unsigned short port) {
    Close();
    if (!InitSockets()) {
        return false;
    }
    unsigned short bound = 0;
    m_handle = detail::ListenLoopback(port, bound);
    m_port = IsOpen() ? bound : 0;
    return IsOpen();
}

bool TcpListener::Accept(TcpSocket& connection, int timeoutMs) {
    if (!IsOpen()) {
        return false;
    }
    const detail::Handle handle = detail::AcceptWithin(m_handle, timeoutMs);
    if (handle == detail::kNoHandle) {
        return false;
    }
    connection = TcpSocket::Adopt(handle);
    return true;
}

bool TcpListener::IsOpen() const {
    return m_handle != detail::kNoHandle;
}

void TcpListener::Close() {
    if (IsOpen()) {
        detail::CloseHandle(m_handle);
        m_handle = detail::kNoHandle;
        m_port = 0;
    }
}

} // namespace net
