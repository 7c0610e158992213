#pragma once

#include <cstdint>

#include "net/tcp_socket.h"

namespace net {

// A listening socket on 127.0.0.1, for in-process peers in tests. Move-only.
class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(TcpListener&& other) noexcept;
    TcpListener& operator=(TcpListener&& other) noexcept;
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Binds 127.0.0.1 on the given port (0: a free port chosen by the system) and listens.
    bool Listen(unsigned short port = 0);

    // The port actually bound; 0 when not listening.
    unsigned short Port() const { return m_port; }

    // Waits at most timeoutMs for one connection. False when none came or on failure.
    bool Accept(TcpSocket& connection, int timeoutMs);

    bool IsOpen() const;
    void Close();

private:
    std::intptr_t m_handle = -1;
    unsigned short m_port = 0;
};

} // namespace net
