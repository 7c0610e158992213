#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "net/host_port.h"
#include "net/tcp_listener.h"
#include "net/tcp_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(SplitHostPort, PlainHostGetsTheDefaultPort) {
    const auto parts = net::SplitHostPort("mail.example.org", 110);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->host, "mail.example.org");
    EXPECT_EQ(parts->port, 110);
}

TEST(SplitHostPort, PortAfterColonOrBrackets) {
    auto parts = net::SplitHostPort("127.0.0.1:2110", 110);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->host, "127.0.0.1");
    EXPECT_EQ(parts->port, 2110);

    parts = net::SplitHostPort("[::1]:65535", 110);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->host, "::1");
    EXPECT_EQ(parts->port, 65535);

    parts = net::SplitHostPort("::1", 110); // a bare IPv6 address has no port
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->host, "::1");
    EXPECT_EQ(parts->port, 110);
}

TEST(SplitHostPort, BadPortsAndEmptyHostsFail) {
    for (const char* bad : {"host:", "host:0", "host:65536", "host:12a", "host:-1", ":110", "",
                            "[::1", "[::1]x", "host:1234567"}) {
        EXPECT_FALSE(net::SplitHostPort(bad, 110)) << bad;
    }
}

class LoopbackPair : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(listener.Listen());
        ASSERT_NE(listener.Port(), 0);
        ASSERT_TRUE(client.Connect("127.0.0.1", listener.Port(), 2000));
        ASSERT_TRUE(listener.Accept(server, 2000));
    }

    net::TcpListener listener;
    net::TcpSocket client;
    net::TcpSocket server;
};

TEST_F(LoopbackPair, BytesTravelBothWays) {
    const std::string hello = "+OK hello\r\n";
    ASSERT_TRUE(server.SendAll(hello.data(), hello.size()));
    std::string got;
    char buffer[64];
    while (got.size() < hello.size()) {
        const net::RecvResult r = client.Receive(buffer, sizeof buffer, 2000);
        ASSERT_EQ(r.status, net::RecvStatus::Data);
        got.append(buffer, r.bytes);
    }
    EXPECT_EQ(got, hello);

    const std::string big(200000, 'x'); // more than one send's worth
    std::thread sender([&] { EXPECT_TRUE(client.SendAll(big.data(), big.size())); });
    std::size_t total = 0;
    char chunk[8192];
    while (total < big.size()) {
        const net::RecvResult r = server.Receive(chunk, sizeof chunk, 2000);
        ASSERT_EQ(r.status, net::RecvStatus::Data);
        total += r.bytes;
    }
    sender.join();
    EXPECT_EQ(total, big.size());
}

TEST_F(LoopbackPair, ReceiveGivesUpAfterItsTimeLimit) {
    char buffer[16];
    const auto start = Clock::now();
    const net::RecvResult r = client.Receive(buffer, sizeof buffer, 150);
    EXPECT_EQ(r.status, net::RecvStatus::TimedOut);
    EXPECT_GE(MillisecondsSince(start), 100);
    EXPECT_LT(MillisecondsSince(start), 2000);
}

TEST_F(LoopbackPair, PeerCloseIsReportedAsClosed) {
    server.Close();
    char buffer[16];
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 2000).status, net::RecvStatus::Closed);
}

TEST_F(LoopbackPair, MovedSocketKeepsTheConnection) {
    net::TcpSocket moved = std::move(client);
    EXPECT_FALSE(client.IsOpen());
    ASSERT_TRUE(moved.IsOpen());
    const char ping[] = "ping";
    ASSERT_TRUE(moved.SendAll(ping, 4));
    char buffer[8];
    const net::RecvResult r = server.Receive(buffer, sizeof buffer, 2000);
    ASSERT_EQ(r.status, net::RecvStatus::Data);
    EXPECT_EQ(std::string(buffer, r.bytes), "ping");
    EXPECT_FALSE(client.SendAll(ping, 4));
}

TEST(TcpSocket, ConnectToAClosedPortFailsQuickly) {
    unsigned short port = 0;
    {
        net::TcpListener probe;
        ASSERT_TRUE(probe.Listen());
        port = probe.Port();
    }
    net::TcpSocket socket;
    const auto start = Clock::now();
    EXPECT_FALSE(socket.Connect("127.0.0.1", port, 5000));
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_LT(MillisecondsSince(start), 4000);
}

TEST(TcpListener, AcceptGivesUpAfterItsTimeLimit) {
    net::TcpListener listener;
    ASSERT_TRUE(listener.Listen());
    net::TcpSocket connection;
    const auto start = Clock::now();
    EXPECT_FALSE(listener.Accept(connection, 100));
    EXPECT_LT(MillisecondsSince(start), 2000);
    EXPECT_FALSE(connection.IsOpen());
}

} // namespace
