#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "net/stream.h"
#include "net/tcp_socket.h"

namespace net {

// A TLS client channel (TLS 1.2 or newer) over a connected TCP socket: OpenSSL natively
// (tls_stream_posix.cpp), Schannel on Windows (tls_stream_win.cpp). The server's certificate
// must validate for the host against the system's trust store, or carry the pinned SHA-256
// fingerprint.
class TlsStream final : public Stream {
public:
    TlsStream();
    ~TlsStream() override;

    // Takes over the connected socket and runs the handshake within timeoutMs. host is the
    // name or address the user gave: it is sent as SNI (names only) and checked against the
    // certificate. pinnedFingerprint is empty or the fingerprint of a certificate to accept
    // whatever its chain and names say. On failure the socket is closed, ErrorText() says
    // why and, when the certificate was the reason, CertificateRejected() is true.
    bool Handshake(TcpSocket socket, const std::string& host, const std::string& pinnedFingerprint,
                   int timeoutMs);

    const std::string& ErrorText() const;
    bool CertificateRejected() const;
    // The server certificate's SHA-256 fingerprint, "AB:CD:..."; empty until the handshake
    // received the certificate.
    const std::string& Fingerprint() const;

    bool SendAll(const char* data, std::size_t length, int timeoutMs) override;
    RecvResult Receive(char* buffer, std::size_t capacity, int timeoutMs) override;
    // Says goodbye (close_notify) when it can do so at once, then closes the socket.
    void Close() override;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// The canonical form "AB:CD:..." of a SHA-256 fingerprint as a user may type it: 64
// hexadecimal digits in either case, with colons or blanks allowed between pairs. Empty when
// the text is not one.
std::string NormalizeFingerprint(const std::string& text);

namespace detail {

// "AB:CD:..." of a digest.
std::string FormatFingerprint(const unsigned char* digest, std::size_t length);

// The failure texts shared by both implementations.
std::string UntrustedCertificateText(const std::string& reason, const std::string& fingerprint);
extern const char* const kHandshakeTimedOut;
extern const char* const kHandshakeClosed;
std::string HandshakeFailedText(const std::string& reason);

// True when host is a literal IPv4 or IPv6 address (checked as an address, sent without SNI).
bool IsAddressLiteral(const std::string& host);

} // namespace detail

} // namespace net
