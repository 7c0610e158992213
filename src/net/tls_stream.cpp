#include "net/tls_stream.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "net/tls_stream_impl.h"

namespace net {

TlsStream::~TlsStream() = default;

bool TlsStream::Handshake(TcpSocket socket, const std::string& host,
                          const std::string& pinnedFingerprint, int timeoutMs) {
    return m_impl->Handshake(std::move(socket), host, pinnedFingerprint, timeoutMs);
}

const std::string& TlsStream::ErrorText() const {
    return m_impl->m_error;
}

bool TlsStream::CertificateRejected() const {
    return m_impl->m_rejected;
}

const std::string& TlsStream::Fingerprint() const {
    return m_impl->m_fingerprint;
}

bool TlsStream::SendAll(const char* data, std::size_t length, int timeoutMs) {
    return m_impl->SendAll(data, length, timeoutMs);
}

RecvResult TlsStream::Receive(char* buffer, std::size_t capacity, int timeoutMs) {
    return m_impl->Receive(buffer, capacity, timeoutMs);
}

void TlsStream::Close() {
    m_impl->Close();
}

std::string NormalizeFingerprint(const std::string& text) {
    std::string digits;
    bool separated = true; // a separator may only stand between two pairs
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            separated = false;
        } else if ((c == ':' || c == ' ') && digits.size() % 2 == 0 && !separated) {
            separated = true;
        } else {
            return "";
        }
    }
    if (digits.size() != 64 || separated) {
        return "";
    }
    std::string pairs;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        pairs += (i == 0 ? "" : ":") + digits.substr(i, 2);
    }
    return pairs;
}

namespace detail {

const char* const kHandshakeTimedOut = "Server did not answer in time";
const char* const kHandshakeClosed = "The server closed the connection during the secure handshake";

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string HandshakeReadFailedText(RecvStatus status) {
    switch (status) {
    case RecvStatus::TimedOut:
        return kHandshakeTimedOut;
    case RecvStatus::Closed:
        return kHandshakeClosed;
    case RecvStatus::Data:
    case RecvStatus::Error:
        break;
    }
    return HandshakeFailedText("the connection failed");
}

std::string FormatFingerprint(const unsigned char* digest, std::size_t length) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0) {
            text += ':';
        }
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

std::string UntrustedCertificateText(const std::string& reason, const std::string& fingerprint) {
    return "The server's certificate is not trusted (" + reason +
           "). SHA-256 fingerprint: " + fingerprint;
}

std::string HandshakeFailedText(const std::string& reason) {
    return "The secure connection could not be set up (" + reason + ")";
}

bool IsAddressLiteral(const std::string& host) {
    if (host.find(':') != std::string::npos) {
        return true; // only IPv6 addresses hold colons once the port is split off
    }
    int parts = 0;
    std::size_t at = 0;
    while (at <= host.size()) {
        const std::size_t end = std::min(host.find('.', at), host.size());
        const std::string part = host.substr(at, end - at);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos || std::stoi(part) > 255) {
            return false;
        }
        ++parts;
        at = end + 1;
    }
    return parts == 4;
}

} // namespace detail

} // namespace net
