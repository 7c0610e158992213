#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/connect_race.h"
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

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

net::detail::Address AddressOf(const char* host, unsigned short port) {
    std::vector<net::detail::Address> found;
    EXPECT_TRUE(net::detail::Resolve(host, port, true, found)) << host;
    return found.empty() ? net::detail::Address{} : found.front();
}

// A loopback port whose listener's queue is full: the system drops further connection
// requests unanswered, as a host behind a dead route does.
struct SilentPort {
    net::TcpListener listener;
    std::vector<std::unique_ptr<net::TcpSocket>> queued;

    bool Open() {
        if (!listener.Listen()) {
            return false;
        }
        for (int i = 0; i < 64; ++i) {
            auto socket = std::make_unique<net::TcpSocket>();
            if (!socket->Connect("127.0.0.1", listener.Port(), 300)) {
                return true;
            }
            queued.push_back(std::move(socket));
        }
        return false;
    }
};

TEST(ConnectFirst, AnAddressThatNeverAnswersCostsAQuarterSecondAndACancelStillStopsTheWait) {
    SilentPort silent;
    ASSERT_TRUE(silent.Open());
    net::TcpListener live;
    ASSERT_TRUE(live.Listen());
    const std::atomic<bool> never{false};

    auto start = Clock::now();
    net::TcpSocket connected = net::TcpSocket::Adopt(net::detail::ConnectFirst(
        {AddressOf("127.0.0.1", silent.listener.Port()), AddressOf("127.0.0.1", live.Port())},
        start + std::chrono::seconds(10), never));
    EXPECT_TRUE(connected.IsOpen());
    EXPECT_GE(MillisecondsSince(start), net::detail::kAttemptDelayMs - 10);
    EXPECT_LT(MillisecondsSince(start), 2000);
    net::TcpSocket accepted;
    EXPECT_TRUE(live.Accept(accepted, 1000));

    std::atomic<bool> stop{false};
    std::thread canceller([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    start = Clock::now();
    const auto none = net::detail::ConnectFirst({AddressOf("127.0.0.1", silent.listener.Port())},
                                                start + std::chrono::seconds(10), stop);
    canceller.join();
    EXPECT_EQ(none, net::detail::kNoHandle);
    EXPECT_LT(MillisecondsSince(start), 2000);
}

TEST(ConnectFirst, FamiliesTakeTurnsFromTheResolversFirstChoice) {
    std::vector<net::detail::Address> given;
    for (const unsigned short port : {1, 2, 3, 4, 5}) {
        given.push_back(AddressOf(port <= 2 ? "::1" : "127.0.0.1", port));
    }
    std::vector<std::vector<unsigned char>> order;
    for (const auto& address : net::detail::InterleaveFamilies(given)) {
        order.push_back(address.bytes);
    }
    EXPECT_EQ(order,
              (std::vector<std::vector<unsigned char>>{
                  given[0].bytes, given[2].bytes, given[1].bytes, given[3].bytes, given[4].bytes}));
}

} // namespace
