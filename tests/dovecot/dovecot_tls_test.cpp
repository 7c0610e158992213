// TLS against Dovecot: certificates judged with their reason, checks and a pipelined listing
// over implicit TLS and STLS.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dovecot_server.h"
#include "net/tls_stream.h"
#include "pop3/messages.h"
#include "pop3/pop.h"
#include "settings/account.h"

namespace {

using DovecotTls = DovecotTest;

// OpenSSL reads the trust store when a handshake begins. /dev/null leaves only the system's
// own store, which does not hold the test authority.
void TrustTestAuthority(bool trust) {
    const std::string ca = DovecotServer::Get().CertificateFolder() + "/ca.pem";
    setenv("SSL_CERT_FILE", trust ? ca.c_str() : "/dev/null", 1);
}

// The fingerprint as the openssl command computes it, independently of the code under test.
std::string FingerprintOf(const std::string& name) {
    const ProcessResult r =
        DovecotServer::Get().Run("openssl x509 -noout -fingerprint -sha256 -in " +
                                 DovecotServer::Get().CertificateFolder() + "/" + name + ".pem");
    return r.out.substr(r.out.find('=') + 1, 95);
}

TEST_F(DovecotTls, EachCertificateIsJudgedByChainNameAndDateUnlessPinned) {
    std::string selfPlain = FingerprintOf("self"); // lower case without colons, as pasted
    selfPlain.erase(std::remove(selfPlain.begin(), selfPlain.end(), ':'), selfPlain.end());
    std::transform(selfPlain.begin(), selfPlain.end(), selfPlain.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const struct {
        const char* address; // 127.0.0.N serves the certificate below
        bool trustTestAuthority;
        std::string pin;
        const char* served;
        std::string reason; // empty: accepted
    } cases[] = {
        {"127.0.0.1", true, "", "good", ""},
        {"localhost", true, "", "good", ""},
        {"127.0.0.1", false, "", "good", "unknown issuer"},
        {"127.0.0.2", true, "", "other", "wrong host name"},
        {"127.0.0.3", true, "", "expired", "expired"},
        {"127.0.0.5", true, "", "future", "not yet valid"},
        {"127.0.0.4", true, "", "self", "self-signed"},
        {"127.0.0.4", false, selfPlain, "self", ""},
        // The pin names one certificate; another one's does not help.
        {"127.0.0.2", true, FingerprintOf("good"), "other", "wrong host name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " pin " + c.pin);
        TrustTestAuthority(c.trustTestAuthority);
        const std::string fingerprint = FingerprintOf(c.served);
        net::TcpSocket socket;
        ASSERT_TRUE(socket.Connect(c.address, Dovecot().TlsPort(), 10000));
        net::TlsStream tls;
        const bool ok = tls.Handshake(std::move(socket), c.address, c.pin, 10000);
        EXPECT_EQ(tls.Fingerprint(), fingerprint);
        EXPECT_EQ(ok, c.reason.empty()) << tls.ErrorText();
        EXPECT_EQ(tls.CertificateRejected(), !c.reason.empty());
        if (!ok) {
            EXPECT_EQ(tls.ErrorText(), "The server's certificate is not trusted (" + c.reason +
                                           "). SHA-256 fingerprint: " + fingerprint);
        }
    }
}

// Deletions connect as checks do; the Dovecot account suite deletes in plain text.
TEST_F(DovecotTls, ChecksRunOverTlsAndStls) {
    TrustTestAuthority(true);
    ASSERT_TRUE(Dovecot().Seed(3));
    for (const pop3::Security security : {pop3::Security::Tls, pop3::Security::StartTls}) {
        SCOPED_TRACE(pop3::SecurityName(security));
        Account account;
        const unsigned short port =
            security == pop3::Security::Tls ? Dovecot().TlsPort() : Dovecot().Port();
        account.Set("test", "secret", "localhost:" + std::to_string(port), 8, 1);
        account.m_Security = security;
        Messages* list = nullptr;
        account.CheckMail(list);
        const std::unique_ptr<Messages> owned(list);
        EXPECT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
        EXPECT_TRUE(account.WasSecure());
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->GetCount(), 3);
        EXPECT_EQ(list->GetSubject(2), "Message 3");
    }
}

// 200 messages, some summaries at their limit: sequential, pipelined, and pipelined over
// TLS, where the replies come back in many records.
TEST_F(DovecotTls, ListingsOf200MessagesAreTheSameSequentialPipelinedAndOverTls) {
    TrustTestAuthority(true);
    std::vector<int> sizes;
    for (int n = 1; n <= 200; ++n) {
        sizes.push_back(n % 7 == 0 ? 5000 + n : 400 + n);
    }
    ASSERT_TRUE(Dovecot().Seed(200, sizes));
    std::string rows[3];
    for (int run = 0; run < 3; ++run) {
        const bool planned = run > 0, tls = run == 2;
        CPop pop;
        pop.SetTimeout(5000);
        pop.SetSecurity(tls ? pop3::Security::Tls : pop3::Security::None);
        ASSERT_TRUE(pop.Connect("127.0.0.1", tls ? Dovecot().TlsPort() : Dovecot().Port(), "test",
                                "secret"))
            << pop.GetErrorText();
        ASSERT_TRUE(pop.Capa());
        ASSERT_TRUE(pop.OffersPipelining());
        ASSERT_TRUE(pop.Stat() && pop.Uidl()) << pop.GetErrorText();
        if (planned) {
            ASSERT_TRUE(pop.PlanListing(pop.GetMessageCount(), 8));
        }
        ASSERT_TRUE(pop.List()) << pop.GetErrorText();
        for (int n = 1; n <= 200; ++n) {
            pop.Top(n, 8);
            rows[run] += pop.m_From + "|" + pop.m_Subject + "|" + pop.m_To + "|" + pop.m_Date +
                         "|" + std::to_string(pop.GetMessageSize(n)) + "|" + pop.GetUid(n) + "|" +
                         pop.GetSummary() + "\n";
        }
        EXPECT_FALSE(pop.IsBroken()) << pop.GetErrorText();
        EXPECT_TRUE(pop.Quit()) << pop.GetErrorText();
    }
    EXPECT_NE(rows[0].find("|Message 200|"), std::string::npos);
    EXPECT_EQ(rows[1], rows[0]);
    EXPECT_EQ(rows[2], rows[0]);
}

} // namespace
