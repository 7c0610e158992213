#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "net/host_port.h"
#include "net/tcp_listener.h"
#include "net/tcp_socket.h"

namespace {

std::string Split(const char* server) {
    const auto parts = net::SplitHostPort(server, 110);
    return parts ? parts->host + " " + std::to_string(parts->port) : "nothing";
}

TEST(SplitHostPort, HostAndPortOrTheDefault) {
    EXPECT_EQ(Split("mail.example.org"), "mail.example.org 110");
    EXPECT_EQ(Split("127.0.0.1:2110"), "127.0.0.1 2110");
    EXPECT_EQ(Split("[::1]:65535"), "::1 65535");
    EXPECT_EQ(Split("::1"), "::1 110"); // a bare IPv6 address has no port
    for (const char* bad : {"host:", "host:0", "host:65536", "host:12a", "host:-1", ":110", "",
                            "[::1", "[::1]x", "host:1234567"}) {
        EXPECT_EQ(Split(bad), "nothing") << bad;
    }
}

TEST(TcpSocket, LoopbackConnectionCarriesMoreThanOneSendsWorthAndSeesTheClose) {
    net::TcpListener listener;
    ASSERT_TRUE(listener.Listen());
    net::TcpSocket client;
    net::TcpSocket server;
    ASSERT_TRUE(client.Connect("127.0.0.1", listener.Port(), 2000));
    ASSERT_TRUE(listener.Accept(server, 2000));
    const std::string big(200000, 'x');
    std::thread sender([&] { EXPECT_TRUE(client.SendAll(big.data(), big.size(), 5000)); });
    std::string got;
    char chunk[8192];
    net::RecvResult r{};
    while (got.size() < big.size() &&
           (r = server.Receive(chunk, sizeof chunk, 2000)).status == net::RecvStatus::Data) {
        got.append(chunk, r.bytes);
    }
    sender.join();
    EXPECT_EQ(got, big);
    client.Close();
    EXPECT_EQ(server.Receive(chunk, sizeof chunk, 2000).status, net::RecvStatus::Closed);
}

} // namespace
