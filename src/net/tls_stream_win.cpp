#include "net/tls_stream_impl.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <cstring>
#include <vector>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

namespace net {

namespace {

using detail::Clock;
using detail::kChunk;
using detail::kGoodbyeMs;
using detail::MsLeft;

// SECURITY_FLAG_IGNORE_CERT_CN_INVALID, from wininet.h, which we do not otherwise need.
constexpr DWORD kIgnoreNameMismatch = 0x00001000;
constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

std::string CodeText(SECURITY_STATUS status) {
    char text[32];
    std::snprintf(text, sizeof text, "error 0x%08lX", static_cast<unsigned long>(status));
    return text;
}

struct CertFree {
    void operator()(PCCERT_CONTEXT cert) const { CertFreeCertificateContext(cert); }
};
struct ChainFree {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const { CertFreeCertificateChain(chain); }
};
using CertPtr = std::unique_ptr<const CERT_CONTEXT, CertFree>;
using ChainPtr = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

// A token SSPI allocated for us (ISC_REQ_ALLOCATE_MEMORY).
class OutToken {
public:
    OutToken() = default;
    ~OutToken() {
        if (m_buffer.pvBuffer != nullptr) {
            FreeContextBuffer(m_buffer.pvBuffer);
        }
    }
    OutToken(const OutToken&) = delete;
    OutToken& operator=(const OutToken&) = delete;
    SecBufferDesc* Desc() { return &m_desc; }
    const char* Data() const { return static_cast<const char*>(m_buffer.pvBuffer); }
    std::size_t Size() const { return m_buffer.pvBuffer != nullptr ? m_buffer.cbBuffer : 0; }

private:
    SecBuffer m_buffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc m_desc{SECBUFFER_VERSION, 1, &m_buffer};
};

std::wstring Widen(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    return wide;
}

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};

// Whether the certificate's subjectAltName lists this IPv4 or IPv6 address.
bool NamesAddress(PCCERT_CONTEXT cert, const std::string& host) {
    BYTE wanted[16];
    DWORD wantedSize = 4;
    if (InetPtonA(AF_INET, host.c_str(), wanted) != 1) {
        wantedSize = 16;
        if (InetPtonA(AF_INET6, host.c_str(), wanted) != 1) {
            return false;
        }
    }
    const CERT_INFO* info = cert->pCertInfo;
    const CERT_EXTENSION* extension =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (extension == nullptr ||
        !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                             &size)) {
        return false;
    }
    const std::unique_ptr<CERT_ALT_NAME_INFO, LocalFreeDeleter> owned(names);
    for (DWORD i = 0; i < names->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
            entry.IPAddress.cbData == wantedSize &&
            std::memcmp(entry.IPAddress.pbData, wanted, wantedSize) == 0) {
            return true;
        }
    }
    return false;
}

// The policy's CERT_E_EXPIRED and the chain's CERT_TRUST_IS_NOT_TIME_VALID both mean outside
// the validity period, on either side of it: the first certificate from the server's up
// that is outside its period tells which side.
const char* TimeReason(PCCERT_CONTEXT cert, PCCERT_CHAIN_CONTEXT chain) {
    if (chain->cChain > 0) {
        const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
        for (DWORD i = 0; i < simple->cElement; ++i) {
            const LONG at =
                CertVerifyTimeValidity(nullptr, simple->rgpElement[i]->pCertContext->pCertInfo);
            if (at != 0) {
                return at < 0 ? "not yet valid" : "expired";
            }
        }
    }
    return CertVerifyTimeValidity(nullptr, cert->pCertInfo) < 0 ? "not yet valid" : "expired";
}

// The system's SSL policy's verdict, as a reason; empty when the certificate is trusted.
std::string Judge(PCCERT_CONTEXT cert, const std::string& host) {
    LPSTR serverUsage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para = {sizeof para};
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = serverUsage;
    PCCERT_CHAIN_CONTEXT found = nullptr;
    // Cache only: fetching a missing issuer would be a network wait without our limit.
    if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para,
                                 CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &found)) {
        return "no chain";
    }
    const ChainPtr chain(found);
    std::wstring name = Widen(host);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.data();
    // The policy compares names only (Wine's never matches an address); an address is
    // looked up among the certificate's IP entries below.
    const bool address = detail::IsAddressLiteral(host);
    if (address) {
        ssl.fdwChecks = kIgnoreNameMismatch;
    }
    CERT_CHAIN_POLICY_PARA policy = {sizeof policy};
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {sizeof status};
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status)) {
        return "policy not available";
    }
    switch (status.dwError) {
    case 0:
        break;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return "wrong host name";
    case static_cast<DWORD>(CERT_E_EXPIRED):
        return TimeReason(cert, chain.get());
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
        // A chain of one is the server's certificate vouching for itself.
        return chain->cChain > 0 && chain->rgpChain[0]->cElement == 1 ? "self-signed"
                                                                      : "unknown issuer";
    case static_cast<DWORD>(CERT_E_CHAINING):
        return "unknown issuer";
    case static_cast<DWORD>(CERT_E_REVOKED):
        return "revoked";
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
        return "not meant for servers";
    default:
        return CodeText(static_cast<SECURITY_STATUS>(status.dwError));
    }
    // Wine's policy passes a chain that ends short of a trusted root; the chain's own status
    // still says so. On Windows the policy has already refused these.
    const DWORD trust = chain->TrustStatus.dwErrorStatus;
    if (trust & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT)) {
        return "unknown issuer";
    }
    if (trust & CERT_TRUST_IS_NOT_TIME_VALID) {
        return TimeReason(cert, chain.get());
    }
    return address && !NamesAddress(cert, host) ? "wrong host name" : "";
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
    bool CheckCertificate(const std::string& host, const std::string& pin);
    RecvStatus Fill(int timeoutMs);
    bool Fail(const std::string& text);
    void Release();

    TcpSocket m_socket;
    CredHandle m_credentials{};
    bool m_haveCredentials = false;
    CtxtHandle m_context{};
    bool m_haveContext = false;
    SecPkgContext_StreamSizes m_sizes{};
    std::vector<char> m_incoming; // ciphertext not yet decrypted
    std::vector<char> m_plain;    // decrypted, not yet delivered
    std::size_t m_plainAt = 0;
    bool m_ready = false;
};

void TlsStream::Impl::Platform::Release() {
    m_ready = false;
    if (m_haveContext) {
        DeleteSecurityContext(&m_context);
        m_haveContext = false;
    }
    if (m_haveCredentials) {
        FreeCredentialsHandle(&m_credentials);
        m_haveCredentials = false;
    }
    m_socket.Close();
    m_incoming.clear();
    m_plain.clear();
    m_plainAt = 0;
}

bool TlsStream::Impl::Platform::Fail(const std::string& text) {
    m_error = text;
    Release();
    return false;
}

RecvStatus TlsStream::Impl::Platform::Fill(int timeoutMs) {
    if (timeoutMs <= 0) {
        return RecvStatus::TimedOut;
    }
    char chunk[kChunk];
    const RecvResult r = m_socket.Receive(chunk, sizeof chunk, timeoutMs);
    if (r.status == RecvStatus::Data) {
        m_incoming.insert(m_incoming.end(), chunk, chunk + r.bytes);
    }
    return r.status;
}

bool TlsStream::Impl::Platform::Handshake(TcpSocket socket, const std::string& host,
                                          const std::string& pin, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Release();
    m_socket = std::move(socket);
    m_error.clear();
    m_fingerprint.clear();
    m_rejected = false;
    if (!m_socket.IsOpen()) {
        return Fail(detail::HandshakeFailedText("not connected"));
    }
    SCHANNEL_CRED cred = {};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    // This credential record cannot ask for TLS 1.3, and Wine refuses it anyway.
    cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    // The chain is judged afterwards by the SSL policy, so the reason can be named and a
    // pinned certificate accepted.
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    SECURITY_STATUS status =
        AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                  nullptr, &cred, nullptr, nullptr, &m_credentials, nullptr);
    if (status != SEC_E_OK) {
        return Fail(detail::HandshakeFailedText(CodeText(status)));
    }
    m_haveCredentials = true;
    // The target name is sent as SNI; Schannel leaves it out for an address.
    std::string target = host;
    bool first = true;
    for (;;) {
        SecBuffer in[2] = {
            {static_cast<unsigned long>(m_incoming.size()), SECBUFFER_TOKEN, m_incoming.data()},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        OutToken out;
        ULONG attributes = 0;
        status = InitializeSecurityContextA(
            &m_credentials, first ? nullptr : &m_context, target.data(), kContextFlags, 0, 0,
            first ? nullptr : &inDesc, 0, first ? &m_context : nullptr, out.Desc(), &attributes,
            nullptr);
        if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) {
            m_haveContext = true;
        }
        first = false;
        // A token goes out even with a failure: it is the alert that tells the server why.
        if (out.Size() > 0 && !m_socket.SendAll(out.Data(), out.Size(), MsLeft(deadline))) {
            return Fail(MsLeft(deadline) == 0 ? detail::kHandshakeTimedOut
                                              : detail::HandshakeFailedText("cannot send"));
        }
        if (status != SEC_E_INCOMPLETE_MESSAGE) {
            // What the server sent beyond the handshake stays for the first read.
            if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0) {
                m_incoming.erase(m_incoming.begin(),
                                 m_incoming.end() - static_cast<long>(in[1].cbBuffer));
            } else {
                m_incoming.clear();
            }
        }
        if (status == SEC_E_OK) {
            break;
        }
        if (status == SEC_I_INCOMPLETE_CREDENTIALS && !m_incoming.empty()) {
            continue; // the server asked for a client certificate: go on without one
        }
        if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE &&
            status != SEC_I_INCOMPLETE_CREDENTIALS) {
            return Fail(detail::HandshakeFailedText(CodeText(status)));
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE || m_incoming.empty()) {
            const RecvStatus got = Fill(MsLeft(deadline));
            if (got != RecvStatus::Data) {
                return Fail(detail::HandshakeReadFailedText(got));
            }
        }
    }
    if (!CheckCertificate(host, pin)) {
        return false;
    }
    status = QueryContextAttributesA(&m_context, SECPKG_ATTR_STREAM_SIZES, &m_sizes);
    if (status != SEC_E_OK) {
        return Fail(detail::HandshakeFailedText(CodeText(status)));
    }
    m_ready = true;
    return true;
}

bool TlsStream::Impl::Platform::CheckCertificate(const std::string& host, const std::string& pin) {
    PCCERT_CONTEXT received = nullptr;
    if (QueryContextAttributesA(&m_context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received) !=
            SEC_E_OK ||
        received == nullptr) {
        return Fail(detail::HandshakeFailedText("no server certificate"));
    }
    const CertPtr cert(received);
    BYTE digest[32];
    DWORD length = sizeof digest;
    if (!CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, cert->pbCertEncoded,
                               cert->cbCertEncoded, digest, &length)) {
        return Fail(detail::HandshakeFailedText("cannot hash the certificate"));
    }
    m_fingerprint = detail::FormatFingerprint(digest, length);
    const std::string reason = Judge(cert.get(), host);
    if (reason.empty() || (!pin.empty() && NormalizeFingerprint(pin) == m_fingerprint)) {
        return true;
    }
    m_rejected = true;
    return Fail(detail::UntrustedCertificateText(reason, m_fingerprint));
}

bool TlsStream::Impl::Platform::SendAll(const char* data, std::size_t length, int timeoutMs) {
    if (!m_ready) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<char> record;
    while (length > 0) {
        const std::size_t piece = std::min<std::size_t>(length, m_sizes.cbMaximumMessage);
        record.resize(m_sizes.cbHeader + piece + m_sizes.cbTrailer);
        std::memcpy(record.data() + m_sizes.cbHeader, data, piece);
        SecBuffer buffers[4] = {
            {m_sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<unsigned long>(piece), SECBUFFER_DATA, record.data() + m_sizes.cbHeader},
            {m_sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + m_sizes.cbHeader + piece},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&m_context, 0, &desc, 0) != SEC_E_OK) {
            return false;
        }
        const std::size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        if (!m_socket.SendAll(record.data(), total, MsLeft(deadline))) {
            return false;
        }
        data += piece;
        length -= piece;
    }
    return true;
}

RecvResult TlsStream::Impl::Platform::Receive(char* buffer, std::size_t capacity, int timeoutMs) {
    if (!m_ready || capacity == 0) {
        return {RecvStatus::Error, 0};
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_plainAt == m_plain.size()) {
        m_plain.clear();
        m_plainAt = 0;
        SECURITY_STATUS status = SEC_E_INCOMPLETE_MESSAGE;
        if (!m_incoming.empty()) {
            SecBuffer buffers[4] = {
                {static_cast<unsigned long>(m_incoming.size()), SECBUFFER_DATA, m_incoming.data()},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            status = DecryptMessage(&m_context, &desc, 0, nullptr);
            if (status == SEC_I_CONTEXT_EXPIRED) {
                return {RecvStatus::Closed, 0};
            }
            if (status != SEC_E_OK && status != SEC_E_INCOMPLETE_MESSAGE) {
                // Renegotiation among them: a TLS 1.2 session of ours never needs it.
                return {RecvStatus::Error, 0};
            }
            if (status == SEC_E_OK) {
                // Decrypted in place: take the text before moving the rest to the front.
                std::vector<char> extra;
                for (const SecBuffer& b : buffers) {
                    const char* at = static_cast<const char*>(b.pvBuffer);
                    if (b.BufferType == SECBUFFER_DATA) {
                        m_plain.assign(at, at + b.cbBuffer);
                    } else if (b.BufferType == SECBUFFER_EXTRA) {
                        extra.assign(at, at + b.cbBuffer);
                    }
                }
                m_incoming.swap(extra);
            }
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            const RecvStatus got = Fill(MsLeft(deadline));
            if (got != RecvStatus::Data) {
                return {got, 0};
            }
        }
    }
    const std::size_t count = std::min(capacity, m_plain.size() - m_plainAt);
    std::memcpy(buffer, m_plain.data() + m_plainAt, count);
    m_plainAt += count;
    return {RecvStatus::Data, count};
}

void TlsStream::Impl::Platform::Close() {
    if (m_ready) {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer token{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc desc{SECBUFFER_VERSION, 1, &token};
        if (ApplyControlToken(&m_context, &desc) == SEC_E_OK) {
            OutToken out;
            ULONG attributes = 0;
            InitializeSecurityContextA(&m_credentials, &m_context, nullptr, kContextFlags, 0, 0,
                                       nullptr, 0, nullptr, out.Desc(), &attributes, nullptr);
            if (out.Size() > 0) {
                m_socket.SendAll(out.Data(), out.Size(), kGoodbyeMs);
            }
        }
    }
    Release();
}

TlsStream::TlsStream() : m_impl(std::make_unique<Impl::Platform>()) {}

} // namespace net
