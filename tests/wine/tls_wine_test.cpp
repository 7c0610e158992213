// The Windows TLS stream against the Dovecot of tools/tls-wine.sh, which passes the ports
// and the served certificates' fingerprints (computed by the openssl command) in the
// environment. The test authority is trusted nowhere here, so every chain ends short.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "net/tcp_socket.h"
#include "net/tls_stream.h"

namespace {

constexpr int kLimitMs = 10000;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

unsigned short Port(const char* name) {
    return static_cast<unsigned short>(std::atoi(Env(name).c_str()));
}

std::string ReadThrough(net::Stream& peer, std::string& pending, const std::string& end) {
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

std::string Ask(net::Stream& peer, std::string& pending, const std::string& command,
                const std::string& end = "\r\n") {
    if (!peer.SendAll(command.data(), command.size(), kLimitMs)) {
        return "(send failed)";
    }
    return ReadThrough(peer, pending, end);
}

bool Secure(net::TlsStream& tls, const std::string& address, const std::string& pin) {
    net::TcpSocket socket;
    return socket.Connect(address, Port("TARNWICK_TLS_PORT"), kLimitMs) &&
           tls.Handshake(std::move(socket), address, pin, kLimitMs);
}

class WineTls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(net::InitSockets());
        ASSERT_NE(Port("TARNWICK_TLS_PORT"), 0) << "run through tools/tls-wine.sh";
        ASSERT_EQ(Env("TARNWICK_FP_GOOD").size(), 95u);
    }
};

TEST_F(WineTls, UntrustedCertificatesAreNamedWithTheirFingerprintAndAPinIsAccepted) {
    const std::string good = Env("TARNWICK_FP_GOOD");
    std::string goodPlain; // lower case without colons, as a user may paste it
    for (char c : good) {
        if (c != ':') {
            goodPlain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    const struct {
        const char* address;
        std::string pin;
        const char* fingerprint; // variable naming the served certificate's
        std::string reason;      // empty: accepted
    } cases[] = {
        {"127.0.0.1", "", "TARNWICK_FP_GOOD", "unknown issuer"},
        {"localhost", "", "TARNWICK_FP_GOOD", "unknown issuer"},
        {"127.0.0.3", "", "TARNWICK_FP_EXPIRED", "expired"},
        {"127.0.0.4", "", "TARNWICK_FP_SELF", "self-signed"},
        {"127.0.0.1", goodPlain, "TARNWICK_FP_GOOD", ""},
        {"127.0.0.4", Env("TARNWICK_FP_SELF"), "TARNWICK_FP_SELF", ""},
        {"127.0.0.2", good, "TARNWICK_FP_OTHER", "unknown issuer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " pin " + c.pin);
        net::TlsStream tls;
        const bool ok = Secure(tls, c.address, c.pin);
        EXPECT_EQ(tls.Fingerprint(), Env(c.fingerprint));
        if (c.reason.empty()) {
            EXPECT_TRUE(ok) << tls.ErrorText();
            std::string pending;
            EXPECT_EQ(ReadThrough(tls, pending, "\r\n").substr(0, 3), "+OK");
        } else {
            EXPECT_FALSE(ok);
            EXPECT_TRUE(tls.CertificateRejected());
            EXPECT_EQ(tls.ErrorText(), "The server's certificate is not trusted (" + c.reason +
                                           "). SHA-256 fingerprint: " + Env(c.fingerprint));
        }
    }
}

TEST_F(WineTls, ImplicitTlsAndStlsCarryASessionWithALongMessage) {
    const std::string pin = Env("TARNWICK_FP_GOOD");
    for (const bool stls : {false, true}) {
        SCOPED_TRACE(stls ? "STLS" : "implicit TLS");
        net::TlsStream tls;
        std::string pending;
        if (stls) {
            net::TcpSocket plain;
            ASSERT_TRUE(plain.Connect("127.0.0.1", Port("TARNWICK_PLAIN_PORT"), kLimitMs));
            EXPECT_EQ(ReadThrough(plain, pending, "\r\n").substr(0, 3), "+OK");
            EXPECT_EQ(Ask(plain, pending, "STLS\r\n").substr(0, 3), "+OK");
            ASSERT_TRUE(tls.Handshake(std::move(plain), "127.0.0.1", pin, kLimitMs))
                << tls.ErrorText();
        } else {
            ASSERT_TRUE(Secure(tls, "127.0.0.1", pin)) << tls.ErrorText();
            EXPECT_EQ(ReadThrough(tls, pending, "\r\n").substr(0, 3), "+OK");
        }
        EXPECT_EQ(Ask(tls, pending, "USER test\r\n").substr(0, 3), "+OK");
        EXPECT_EQ(Ask(tls, pending, "PASS secret\r\n").substr(0, 3), "+OK");
        // Message 2 is 200000 octets: many records, many receives.
        const std::string retr = Ask(tls, pending, "RETR 2\r\n", "\r\n.\r\n");
        EXPECT_EQ(retr.substr(0, retr.find("\r\n")), "+OK 200000 octets");
        EXPECT_EQ(retr.size() - retr.find("\r\n") - 2, 200000u + 3u);
        EXPECT_EQ(Ask(tls, pending, "QUIT\r\n").substr(0, 3), "+OK");
        char rest[16];
        EXPECT_EQ(tls.Receive(rest, sizeof rest, kLimitMs).status, net::RecvStatus::Closed);
    }
}

} // namespace
