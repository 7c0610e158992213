#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/cancel_signal.h"
#include "net/stream.h"

namespace net {

// Starts the platform's socket layer once per process (Winsock needs it; POSIX does not).
// Safe to call from any thread, any number of times. Returns false when the layer is
// unavailable.
bool InitSockets();

// A blocking TCP client connection. Move-only; the destructor closes the socket.
class TcpSocket : public Stream {
public:
    TcpSocket() = default;
    ~TcpSocket() override;
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Resolves host (name or dotted address) and connects to the first of its addresses
    // that answers, IPv6 and IPv4 taking turns, a new try every 250 ms beside those still
    // waiting; the lookup and every try together end within timeoutMs. False on failure.
    bool Connect(const std::string& host, unsigned short port, int timeoutMs);

    bool SendAll(const char* data, std::size_t length, int timeoutMs) override;
    RecvResult Receive(char* buffer, std::size_t capacity, int timeoutMs) override;

    // A signal that can stop this socket's connect, sends and receives from another thread;
    // set before Connect.
    void SetCancelSignal(std::shared_ptr<CancelSignal> signal) { m_cancel = std::move(signal); }

    // Sends small writes at once instead of coalescing them (lets test peers split replies).
    bool SetNoDelay(bool on);

    bool IsOpen() const;
    void Close() override;

    // For peers built on accept(): takes over a connected native handle.
    static TcpSocket Adopt(std::intptr_t handle);

private:
    bool Cancelled() const;
    // How long one wait may last of leftMs.
    int WaitSlice(int leftMs) const;

    std::intptr_t m_handle = -1;
    std::shared_ptr<CancelSignal> m_cancel;
    int m_armedMs = -1; // receive time limit the socket holds, so it is set only on change
};

} // namespace net
