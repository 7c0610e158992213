#pragma once

// The part of TlsStream's session both platforms share. Internal to src/net.

#include <chrono>
#include <cstddef>
#include <string>

#include "net/tls_stream.h"

namespace net {

// tls_stream.cpp forwards TlsStream to this. Each platform defines Platform, its session
// (tls_stream_posix.cpp, tls_stream_win.cpp), and the TlsStream constructor that makes one.
class TlsStream::Impl {
public:
    class Platform;

    virtual ~Impl() = default;
    virtual bool Handshake(TcpSocket socket, const std::string& host, const std::string& pin,
                           int timeoutMs) = 0;
    virtual bool SendAll(const char* data, std::size_t length, int timeoutMs) = 0;
    virtual RecvResult Receive(char* buffer, std::size_t capacity, int timeoutMs) = 0;
    virtual void Close() = 0;

    std::string m_error;
    std::string m_fingerprint;
    bool m_rejected = false;
};

namespace detail {

using Clock = std::chrono::steady_clock;

// A close_notify goes out only if the socket takes it at once; a peer that stopped reading
// must not hold up the end of a session.
constexpr int kGoodbyeMs = 100;
// One TLS record's worth: the most read or written in one piece.
constexpr std::size_t kChunk = 16384;

int MsLeft(Clock::time_point deadline);

// Why a handshake's read brought no data.
std::string HandshakeReadFailedText(RecvStatus status);

} // namespace detail

} // namespace net
