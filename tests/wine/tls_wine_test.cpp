// The Windows TLS stream against the Dovecot of tools/tls-wine.sh, which passes the ports,
// the certificate folder and the certificates' fingerprints (computed by the openssl
// command) in the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>
#include <wincrypt.h>

#include "net/tcp_socket.h"
#include "net/tls_stream.h"

namespace {

constexpr int kLimitMs = 10000;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

struct Served {
    const char* address;
    const char* fingerprintVariable;
};

bool Secure(net::TlsStream& tls, const std::string& address, const std::string& pin) {
    net::TcpSocket socket;
    if (!socket.Connect(address,
                        static_cast<unsigned short>(std::atoi(Env("TARNWICK_TLS_PORT").c_str())),
                        kLimitMs)) {
        return false;
    }
    return tls.Handshake(std::move(socket), address, pin, kLimitMs);
}

std::string Greeting(net::TlsStream& tls) {
    std::string text;
    char chunk[512];
    while (text.find("\r\n") == std::string::npos) {
        const net::RecvResult r = tls.Receive(chunk, sizeof chunk, kLimitMs);
        if (r.status != net::RecvStatus::Data) {
            return "(stream ended) " + text;
        }
        text.append(chunk, r.bytes);
    }
    return text;
}

// The test authority in the current user's root store for as long as this lives.
class TrustedAuthority {
public:
    explicit TrustedAuthority(const std::string& pemPath) {
        std::ifstream file(pemPath, std::ios::binary);
        std::stringstream pem;
        pem << file.rdbuf();
        const std::string text = pem.str();
        DWORD size = 0;
        if (!CryptStringToBinaryA(text.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size,
                                  nullptr, nullptr)) {
            return;
        }
        std::vector<BYTE> der(size);
        if (!CryptStringToBinaryA(text.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size,
                                  nullptr, nullptr)) {
            return;
        }
        m_store = CertOpenSystemStoreA(0, "ROOT");
        if (m_store != nullptr) {
            m_added =
                CertAddEncodedCertificateToStore(m_store, X509_ASN_ENCODING, der.data(), size,
                                                 CERT_STORE_ADD_REPLACE_EXISTING, &m_cert) != FALSE;
        }
    }
    ~TrustedAuthority() {
        if (m_cert != nullptr) {
            CertDeleteCertificateFromStore(m_cert); // frees the context too
        }
        if (m_store != nullptr) {
            CertCloseStore(m_store, 0);
        }
    }
    bool Added() const { return m_added; }

private:
    HCERTSTORE m_store = nullptr;
    PCCERT_CONTEXT m_cert = nullptr;
    bool m_added = false;
};

TEST(WineTls, Explore) {
    ASSERT_TRUE(net::InitSockets());
    ASSERT_NE(Env("TARNWICK_TLS_PORT"), "");
    for (int trusted = 0; trusted < 2; ++trusted) {
        std::unique_ptr<TrustedAuthority> ca;
        if (trusted) {
            ca = std::make_unique<TrustedAuthority>(Env("TARNWICK_TLS_CERTS") + "\\ca.pem");
            ASSERT_TRUE(ca->Added());
        }
        for (const char* address :
             {"127.0.0.1", "localhost", "127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
            net::TlsStream tls;
            const bool ok = Secure(tls, address, "");
            std::printf("trusted=%d %s ok=%d %s fp=%s\n", trusted, address, ok,
                        tls.ErrorText().c_str(), tls.Fingerprint().c_str());
            if (ok)
                std::printf("  greeting %s", Greeting(tls).c_str());
        }
    }
}

} // namespace
