#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "net/tcp_listener.h"
#include "net/tcp_socket.h"
#include "net/tls_stream.h"

namespace {

TEST(Fingerprint, SixtyFourHexDigitsWithOptionalSeparatorsBetweenPairs) {
    const std::string canonical = "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:"
                                  "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89";
    std::string bare;
    for (char c : canonical) {
        if (c != ':') {
            bare += c;
        }
    }
    std::string lower = canonical;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::string blanks = canonical;
    for (char& c : blanks) {
        c = c == ':' ? ' ' : c;
    }
    for (const std::string& good : {canonical, bare, lower, blanks}) {
        EXPECT_EQ(net::NormalizeFingerprint(good), canonical) << good;
    }
    for (const std::string& bad :
         {std::string(), bare.substr(2), bare + "AB", ":" + canonical, canonical + ":",
          "A:B" + canonical.substr(2), bare.substr(1) + "G",
          canonical.substr(0, 3) + ":" + canonical.substr(3)}) {
        EXPECT_EQ(net::NormalizeFingerprint(bad), "") << bad;
    }
}

// A peer that takes the client's hello and then misbehaves in one of the ways below.
enum class Peer { Silent, HangsUp, SpeaksPlainText };

TEST(TlsStream, AHandshakeThatCannotFinishFailsWithItsReasonAndClosesTheSocket) {
    ASSERT_TRUE(net::InitSockets());
    const struct {
        Peer peer;
        std::string text; // the failure text begins with it
    } cases[] = {
        {Peer::Silent, "Server did not answer in time"},
        {Peer::HangsUp, "The server closed the connection during the secure handshake"},
        {Peer::SpeaksPlainText, "The secure connection could not be set up ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        net::TcpListener listener;
        ASSERT_TRUE(listener.Listen());
        bool sawHello = false;
        bool clientLeft = false;
        std::thread server([&] {
            net::TcpSocket connection;
            if (!listener.Accept(connection, 5000)) {
                return;
            }
            char buffer[4096];
            // A TLS record of the handshake kind opens the conversation.
            const net::RecvResult hello = connection.Receive(buffer, sizeof buffer, 5000);
            sawHello = hello.status == net::RecvStatus::Data && buffer[0] == 0x16;
            if (c.peer == Peer::HangsUp) {
                return;
            }
            if (c.peer == Peer::SpeaksPlainText) {
                // Long enough that no reader can take it for the start of a record.
                std::string text = "+OK POP3 server ready\r\n";
                while (text.size() < 20000) {
                    text += "+OK plain text, not a TLS record\r\n";
                }
                connection.SendAll(text.data(), text.size(), 5000);
            }
            for (;;) {
                const net::RecvResult r = connection.Receive(buffer, sizeof buffer, 5000);
                if (r.status != net::RecvStatus::Data) {
                    // A reset is a hang-up too: the client left unread text behind.
                    clientLeft = r.status != net::RecvStatus::TimedOut;
                    return;
                }
            }
        });
        net::TcpSocket socket;
        ASSERT_TRUE(socket.Connect("127.0.0.1", listener.Port(), 5000));
        net::TlsStream tls;
        EXPECT_FALSE(tls.Handshake(std::move(socket), "127.0.0.1", "", 500));
        EXPECT_EQ(tls.ErrorText().substr(0, c.text.size()), c.text) << tls.ErrorText();
        EXPECT_FALSE(tls.CertificateRejected());
        EXPECT_EQ(tls.Fingerprint(), "");
        char byte;
        EXPECT_EQ(tls.Receive(&byte, 1, 100).status, net::RecvStatus::Error);
        EXPECT_FALSE(tls.SendAll("x", 1, 100));
        server.join();
        EXPECT_TRUE(sawHello);
        if (c.peer != Peer::HangsUp) {
            EXPECT_TRUE(clientLeft);
        }
    }
}

} // namespace
