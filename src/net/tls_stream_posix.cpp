#include "net/tls_stream_impl.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace net {

namespace {

using detail::Clock;
using detail::kChunk;
using detail::kGoodbyeMs;
using detail::MsLeft;

struct SslCtxFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
using SslCtxPtr = std::unique_ptr<SSL_CTX, SslCtxFree>;
using SslPtr = std::unique_ptr<SSL, SslFree>;

std::string ReasonOf(long verifyResult) {
    switch (verifyResult) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "wrong host name";
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "not yet valid";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return "self-signed";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return "unknown issuer";
    case X509_V_ERR_CERT_REVOKED:
        return "revoked";
    default:
        return X509_verify_cert_error_string(verifyResult);
    }
}

// The library's reason for the last failure on this thread, and a clean error queue.
std::string LibraryReason() {
    const unsigned long error = ERR_get_error();
    ERR_clear_error();
    const char* reason = error != 0 ? ERR_reason_error_string(error) : nullptr;
    return reason != nullptr ? reason : "protocol error";
}

} // namespace

class TlsStream::Impl::Platform final : public TlsStream::Impl {
public:
    ~Platform() override { Close(); }
    bool Handshake(TcpSocket socket, const std::string& host, const std::string& pin,
                   int timeoutMs) override;
    bool SendAll(const char* data, std::size_t length, int timeoutMs) override;
    RecvResult Receive(char* buffer, std::size_t capacity, int timeoutMs) override;
    void Close() override;

private:
    bool Setup(const std::string& host);
    bool CheckCertificate(const std::string& pin);
    bool Flush(Clock::time_point deadline);
    RecvStatus Fill(int timeoutMs);
    bool Fail(const std::string& text);

    TcpSocket m_socket;
    SslCtxPtr m_ctx;
    SslPtr m_ssl;
    BIO* m_in = nullptr;  // ciphertext from the server; owned by m_ssl
    BIO* m_out = nullptr; // ciphertext for the server; owned by m_ssl
    bool m_ready = false;
};

bool TlsStream::Impl::Platform::Fail(const std::string& text) {
    m_error = text;
    m_ready = false;
    m_ssl.reset();
    m_ctx.reset();
    m_socket.Close();
    return false;
}

bool TlsStream::Impl::Platform::Setup(const std::string& host) {
    ERR_clear_error();
    m_ctx.reset(SSL_CTX_new(TLS_client_method()));
    if (!m_ctx || SSL_CTX_set_min_proto_version(m_ctx.get(), TLS1_2_VERSION) != 1) {
        return false;
    }
    // The system's trust store; SSL_CERT_FILE and SSL_CERT_DIR override it.
    SSL_CTX_set_default_verify_paths(m_ctx.get());
    // The handshake runs to its end whatever the chain says, so that the result can be
    // named, or a pinned certificate accepted, before anything of ours is sent.
    SSL_CTX_set_verify(m_ctx.get(), SSL_VERIFY_NONE, nullptr);
    m_ssl.reset(SSL_new(m_ctx.get()));
    if (!m_ssl) {
        return false;
    }
    m_in = BIO_new(BIO_s_mem());
    m_out = BIO_new(BIO_s_mem());
    if (m_in == nullptr || m_out == nullptr) {
        BIO_free(m_in);
        BIO_free(m_out);
        return false;
    }
    SSL_set_bio(m_ssl.get(), m_in, m_out);
    if (detail::IsAddressLiteral(host)) {
        // An address is matched against the certificate's IP entries and is never SNI.
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl.get()), host.c_str()) != 1) {
            return false;
        }
    } else {
        // Whole-label wildcards only ("*.example.com"), as browsers accept them.
        SSL_set_hostflags(m_ssl.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (SSL_set_tlsext_host_name(m_ssl.get(), host.c_str()) != 1 ||
            SSL_set1_host(m_ssl.get(), host.c_str()) != 1) {
            return false;
        }
    }
    SSL_set_connect_state(m_ssl.get());
    return true;
}

bool TlsStream::Impl::Platform::Handshake(TcpSocket socket, const std::string& host,
                                          const std::string& pin, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    m_socket = std::move(socket);
    m_error.clear();
    m_fingerprint.clear();
    m_rejected = false;
    if (!m_socket.IsOpen()) {
        return Fail(detail::HandshakeFailedText("not connected"));
    }
    if (!Setup(host)) {
        return Fail(detail::HandshakeFailedText(LibraryReason()));
    }
    for (;;) {
        const int rc = SSL_do_handshake(m_ssl.get());
        const int error = SSL_get_error(m_ssl.get(), rc);
        // The library may have a last word (an alert) even when it failed.
        if (!Flush(deadline)) {
            return Fail(MsLeft(deadline) == 0 ? detail::kHandshakeTimedOut
                                              : detail::HandshakeFailedText("cannot send"));
        }
        if (rc == 1) {
            break;
        }
        if (error != SSL_ERROR_WANT_READ) {
            return Fail(detail::HandshakeFailedText(LibraryReason()));
        }
        const RecvStatus got = Fill(MsLeft(deadline));
        if (got != RecvStatus::Data) {
            return Fail(detail::HandshakeReadFailedText(got));
        }
    }
    if (!CheckCertificate(pin)) {
        return false;
    }
    m_ready = true;
    return true;
}

bool TlsStream::Impl::Platform::CheckCertificate(const std::string& pin) {
    X509* certificate = SSL_get0_peer_certificate(m_ssl.get());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (certificate == nullptr || X509_digest(certificate, EVP_sha256(), digest, &length) != 1) {
        return Fail(detail::HandshakeFailedText("no server certificate"));
    }
    m_fingerprint = detail::FormatFingerprint(digest, length);
    const long result = SSL_get_verify_result(m_ssl.get());
    if (result == X509_V_OK) {
        return true;
    }
    if (!pin.empty() && NormalizeFingerprint(pin) == m_fingerprint) {
        return true;
    }
    m_rejected = true;
    return Fail(detail::UntrustedCertificateText(ReasonOf(result), m_fingerprint));
}

bool TlsStream::Impl::Platform::Flush(Clock::time_point deadline) {
    char chunk[kChunk];
    int got;
    while ((got = BIO_read(m_out, chunk, sizeof chunk)) > 0) {
        if (!m_socket.SendAll(chunk, static_cast<std::size_t>(got), MsLeft(deadline))) {
            return false;
        }
    }
    return true;
}

RecvStatus TlsStream::Impl::Platform::Fill(int timeoutMs) {
    if (timeoutMs <= 0) {
        return RecvStatus::TimedOut;
    }
    char chunk[kChunk];
    const RecvResult r = m_socket.Receive(chunk, sizeof chunk, timeoutMs);
    if (r.status == RecvStatus::Data &&
        BIO_write(m_in, chunk, static_cast<int>(r.bytes)) != static_cast<int>(r.bytes)) {
        return RecvStatus::Error;
    }
    return r.status;
}

bool TlsStream::Impl::Platform::SendAll(const char* data, std::size_t length, int timeoutMs) {
    if (!m_ready) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (length > 0) {
        const int piece = static_cast<int>(std::min(length, kChunk));
        const int written = SSL_write(m_ssl.get(), data, piece);
        if (written <= 0 || !Flush(deadline)) {
            ERR_clear_error();
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

RecvResult TlsStream::Impl::Platform::Receive(char* buffer, std::size_t capacity, int timeoutMs) {
    if (!m_ready || capacity == 0) {
        return {RecvStatus::Error, 0};
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const int wanted = static_cast<int>(std::min<std::size_t>(capacity, INT_MAX));
    for (;;) {
        const int got = SSL_read(m_ssl.get(), buffer, wanted);
        if (got > 0) {
            return {RecvStatus::Data, static_cast<std::size_t>(got)};
        }
        const int error = SSL_get_error(m_ssl.get(), got);
        ERR_clear_error();
        if (error == SSL_ERROR_ZERO_RETURN) {
            return {RecvStatus::Closed, 0};
        }
        // Reading can owe the server an answer (a key update).
        if (!Flush(deadline) || error != SSL_ERROR_WANT_READ) {
            return {RecvStatus::Error, 0};
        }
        const RecvStatus status = Fill(MsLeft(deadline));
        if (status != RecvStatus::Data) {
            return {status, 0};
        }
    }
}

void TlsStream::Impl::Platform::Close() {
    if (m_ready) {
        SSL_shutdown(m_ssl.get());
        Flush(Clock::now() + std::chrono::milliseconds(kGoodbyeMs));
        ERR_clear_error();
    }
    m_ready = false;
    m_ssl.reset();
    m_ctx.reset();
    m_socket.Close();
}

TlsStream::TlsStream() : m_impl(std::make_unique<Impl::Platform>()) {}

} // namespace net
