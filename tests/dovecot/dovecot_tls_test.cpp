#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dovecot_server.h"
#include "net/tls_stream.h"
#include "pop3/messages.h"
#include "pop3/pop.h"
#include "settings/account.h"

namespace {

using DovecotTls = DovecotTest;

constexpr int kLimitMs = 10000;

// Trusts only the given bundle for as long as it lives; an empty path leaves the system's
// own trust store, which does not hold the test authority.
class TrustStore {
public:
    explicit TrustStore(const std::string& bundle) {
        if (const char* old = std::getenv("SSL_CERT_FILE")) {
            m_old = old;
        }
        if (bundle.empty()) {
            unsetenv("SSL_CERT_FILE");
        } else {
            setenv("SSL_CERT_FILE", bundle.c_str(), 1);
        }
    }
    ~TrustStore() {
        if (m_old) {
            setenv("SSL_CERT_FILE", m_old->c_str(), 1);
        } else {
            unsetenv("SSL_CERT_FILE");
        }
    }

private:
    std::optional<std::string> m_old;
};

// The fingerprint as the openssl command computes it, independently of the code under test.
std::string FingerprintOf(const std::string& pem) {
    const ProcessResult r =
        DovecotServer::Get().Run("openssl x509 -noout -fingerprint -sha256 -in " + pem);
    const std::size_t at = r.out.find('=');
    return at == std::string::npos ? "(none)" : r.out.substr(at + 1, 95);
}

// Reads up to and including the first occurrence of end; what follows stays pending.
template <class Peer>
std::string ReadThrough(Peer& peer, std::string& pending, const std::string& end) {
    for (;;) {
        const std::size_t at = pending.find(end);
        if (at != std::string::npos) {
            const std::string taken = pending.substr(0, at + end.size());
            pending.erase(0, at + end.size());
            return taken;
        }
        char chunk[4096];
        const net::RecvResult r = peer.Receive(chunk, sizeof chunk, kLimitMs);
        if (r.status != net::RecvStatus::Data) {
            return "(stream ended) " + pending;
        }
        pending.append(chunk, r.bytes);
    }
}

template <class Peer>
std::string Ask(Peer& peer, std::string& pending, const std::string& command,
                const std::string& end = "\r\n") {
    if (!peer.SendAll(command.data(), command.size(), kLimitMs)) {
        return "(send failed)";
    }
    return ReadThrough(peer, pending, end);
}

bool Secure(net::TlsStream& tls, const std::string& address, unsigned short port,
            const std::string& pin) {
    net::TcpSocket socket;
    if (!socket.Connect(address, port, kLimitMs)) {
        return false;
    }
    return tls.Handshake(std::move(socket), address, pin, kLimitMs);
}

TEST_F(DovecotTls, EachCertificateIsJudgedByChainNameAndDateUnlessPinned) {
    const std::string certs = Dovecot().CertificateFolder();
    const std::string good = FingerprintOf(certs + "/good.pem");
    const std::string self = FingerprintOf(certs + "/self.pem");
    std::string selfPlain; // lower case without colons, as a user may paste it
    for (char c : self) {
        if (c != ':') {
            selfPlain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    const std::string testCa = certs + "/ca.pem";
    const struct {
        const char* address;
        bool trustTestCa;
        std::string pin;
        std::string served; // certificate file the address serves
        std::string reason; // empty: accepted
    } cases[] = {
        {"127.0.0.1", true, "", "good", ""},
        {"localhost", true, "", "good", ""},
        {"127.0.0.1", false, "", "good", "unknown issuer"},
        {"127.0.0.2", true, "", "other", "wrong host name"},
        {"127.0.0.3", true, "", "expired", "expired"},
        {"127.0.0.4", true, "", "self", "self-signed"},
        {"127.0.0.4", false, selfPlain, "self", ""},
        {"127.0.0.1", false, good, "good", ""},
        // The pin names one certificate; another one's does not help.
        {"127.0.0.2", true, good, "other", "wrong host name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " pin " + c.pin);
        const TrustStore trust(c.trustTestCa ? testCa : "");
        const std::string fingerprint = FingerprintOf(certs + "/" + c.served + ".pem");
        net::TlsStream tls;
        const bool ok = Secure(tls, c.address, Dovecot().TlsPort(), c.pin);
        EXPECT_EQ(tls.Fingerprint(), fingerprint);
        if (c.reason.empty()) {
            EXPECT_TRUE(ok) << tls.ErrorText();
            std::string pending;
            EXPECT_EQ(ReadThrough(tls, pending, "\r\n").substr(0, 3), "+OK");
        } else {
            EXPECT_FALSE(ok);
            EXPECT_TRUE(tls.CertificateRejected());
            EXPECT_EQ(tls.ErrorText(), "The server's certificate is not trusted (" + c.reason +
                                           "). SHA-256 fingerprint: " + fingerprint);
        }
    }
}

TEST_F(DovecotTls, ImplicitTlsAndStlsCarryASessionWithALongMessage) {
    const auto seeded = Dovecot().Seed(2, {300, 200000});
    ASSERT_EQ(seeded.size(), 2u);
    const TrustStore trust(Dovecot().CertificateFolder() + "/ca.pem");
    for (const bool stls : {false, true}) {
        SCOPED_TRACE(stls ? "STLS" : "implicit TLS");
        net::TlsStream tls;
        std::string pending;
        if (stls) {
            net::TcpSocket plain;
            ASSERT_TRUE(plain.Connect("127.0.0.1", Dovecot().Port(), kLimitMs));
            EXPECT_EQ(ReadThrough(plain, pending, "\r\n").substr(0, 3), "+OK");
            EXPECT_NE(Ask(plain, pending, "CAPA\r\n", "\r\n.\r\n").find("\r\nSTLS\r\n"),
                      std::string::npos);
            EXPECT_EQ(Ask(plain, pending, "STLS\r\n").substr(0, 3), "+OK");
            ASSERT_TRUE(tls.Handshake(std::move(plain), "127.0.0.1", "", kLimitMs))
                << tls.ErrorText();
            // Once secure, the server no longer offers STLS.
            EXPECT_EQ(Ask(tls, pending, "CAPA\r\n", "\r\n.\r\n").find("STLS"), std::string::npos);
        } else {
            ASSERT_TRUE(Secure(tls, "127.0.0.1", Dovecot().TlsPort(), "")) << tls.ErrorText();
            EXPECT_EQ(ReadThrough(tls, pending, "\r\n").substr(0, 3), "+OK");
        }
        EXPECT_EQ(Ask(tls, pending, "USER test\r\n").substr(0, 3), "+OK");
        EXPECT_EQ(Ask(tls, pending, "PASS secret\r\n").substr(0, 3), "+OK");
        const std::string retr = Ask(tls, pending, "RETR 2\r\n", "\r\n.\r\n");
        const std::size_t body = retr.find("\r\n") + 2;
        EXPECT_EQ(retr.substr(0, 3), "+OK");
        EXPECT_EQ(retr.substr(body), seeded[1].text + ".\r\n");
        EXPECT_EQ(Ask(tls, pending, "QUIT\r\n").substr(0, 3), "+OK");
        char rest[16];
        EXPECT_EQ(tls.Receive(rest, sizeof rest, kLimitMs).status, net::RecvStatus::Closed);
    }
}

} // namespace

namespace {

std::string Rows(const Messages& list) {
    std::string rows;
    for (int i = 0; i < list.GetCount(); ++i) {
        rows += list.GetFrom(i) + "|" + list.GetSubject(i) + "\n";
    }
    return rows;
}

std::string Rows(const std::vector<SeededMessage>& seeded, std::vector<int> numbers) {
    std::string rows;
    for (int n : numbers) {
        const SeededMessage& m = seeded[static_cast<std::size_t>(n - 1)];
        rows += m.Header("From") + "|" + m.Header("Subject") + "\n";
    }
    return rows;
}

TEST_F(DovecotTls, ChecksAndDeletionsRunOverTlsAndStls) {
    const TrustStore trust(Dovecot().CertificateFolder() + "/ca.pem");
    for (const pop3::Security security : {pop3::Security::Tls, pop3::Security::StartTls}) {
        SCOPED_TRACE(pop3::SecurityName(security));
        const auto seeded = Dovecot().Seed(3);
        ASSERT_EQ(seeded.size(), 3u);
        Account account;
        const unsigned short port =
            security == pop3::Security::Tls ? Dovecot().TlsPort() : Dovecot().Port();
        account.Set("test", "secret", "localhost:" + std::to_string(port), 8, 1);
        account.m_Security = security;
        Messages* list = nullptr; // each check that rebuilds it frees the one before
        account.CheckMail(list);
        EXPECT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
        EXPECT_TRUE(account.WasSecure());
        EXPECT_EQ(list != nullptr ? Rows(*list) : "", Rows(seeded, {1, 2, 3}));
        EXPECT_TRUE(account.DeleteMessage(2)) << account.GetErrorText();
        account.CheckMail(list);
        const std::unique_ptr<Messages> owned(list);
        EXPECT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(Rows(*list), Rows(seeded, {1, 3}));
    }
}

TEST_F(DovecotTls, AListingIsPipelinedOverTls) {
    const TrustStore trust(Dovecot().CertificateFolder() + "/ca.pem");
    const auto seeded = Dovecot().Seed(200);
    ASSERT_EQ(seeded.size(), 200u);
    CPop pop;
    pop.SetSecurity(pop3::Security::Tls);
    ASSERT_TRUE(pop.Connect("127.0.0.1", Dovecot().TlsPort(), "test", "secret"))
        << pop.GetErrorText();
    EXPECT_TRUE(pop.IsSecure());
    ASSERT_TRUE(pop.Capa());
    ASSERT_TRUE(pop.Stat());
    ASSERT_EQ(pop.GetMessageCount(), 200);
    // True only when the server offers PIPELINING: every command then goes out ahead.
    ASSERT_TRUE(pop.PlanListing(200, 2));
    ASSERT_TRUE(pop.List()) << pop.GetErrorText();
    for (int n = 1; n <= 200; ++n) {
        const SeededMessage& m = seeded[static_cast<std::size_t>(n - 1)];
        EXPECT_TRUE(pop.Top(n, 2)) << n << pop.GetErrorText();
        EXPECT_EQ(pop.m_Subject, m.Header("Subject"));
        EXPECT_EQ(pop.GetMessageSize(n), static_cast<int>(m.text.size()));
    }
    EXPECT_TRUE(pop.Quit());
}

TEST_F(DovecotTls, AnUntrustedServerFailsTheCheckUntilItsCertificateIsTrusted) {
    const TrustStore trust(Dovecot().CertificateFolder() + "/ca.pem");
    Dovecot().Seed(1);
    const std::string fingerprint = FingerprintOf(Dovecot().CertificateFolder() + "/self.pem");
    Account account;
    account.Set("test", "secret", "127.0.0.4:" + std::to_string(Dovecot().TlsPort()), 8, 1);
    account.m_Security = pop3::Security::Tls;
    Messages* list = nullptr;
    account.CheckMail(list);
    EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
    EXPECT_EQ(account.GetErrorText(),
              "The server's certificate is not trusted (self-signed). SHA-256 fingerprint: " +
                  fingerprint);
    EXPECT_TRUE(account.CertificateRejected());
    EXPECT_EQ(account.GetServerFingerprint(), fingerprint);
    account.m_TrustedCertificate = account.GetServerFingerprint();
    account.CheckMail(list);
    const std::unique_ptr<Messages> owned(list);
    EXPECT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    EXPECT_TRUE(account.WasSecure());
    EXPECT_FALSE(account.CertificateRejected());
}

} // namespace
