// The time rules of a POP3 session, followed on a clock the test moves: whole sessions of
// honest and hostile servers run in simulated minutes without a single real wait.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <string>

#include "pop3/reply_reader.h"

namespace {

using pop3::ReplyReader;
using Clock = ReplyReader::Clock;
using std::chrono::milliseconds;

// A server whose every reply comes a given time after the command that asked for it. Time
// passes only as the reader waits.
class TimedServer : public net::Stream {
public:
    Clock::time_point now = Clock::time_point() + std::chrono::hours(1);

    void Answer(long long afterMs, std::string bytes) {
        m_pieces.push_back({afterMs, std::move(bytes)});
    }
    bool SendAll(const char*, std::size_t, int) override { return true; }
    net::RecvResult Receive(char* buffer, std::size_t capacity, int timeoutMs) override {
        if (m_pieces.empty() || m_pieces.front().afterMs > timeoutMs) {
            if (!m_pieces.empty()) {
                m_pieces.front().afterMs -= timeoutMs;
            }
            now += milliseconds(timeoutMs);
            return {net::RecvStatus::TimedOut, 0};
        }
        Piece& piece = m_pieces.front();
        now += milliseconds(piece.afterMs);
        piece.afterMs = 0;
        const std::size_t n = std::min(capacity, piece.bytes.size());
        std::memcpy(buffer, piece.bytes.data(), n);
        piece.bytes.erase(0, n);
        if (piece.bytes.empty()) {
            m_pieces.pop_front();
        }
        return {net::RecvStatus::Data, n};
    }
    void Close() override {}

private:
    struct Piece {
        long long afterMs;
        std::string bytes;
    };
    std::deque<Piece> m_pieces;
};

// One session as a client without pipelining runs it: each command's reply is awaited before
// the next command goes.
class Session {
public:
    explicit Session(int sessionLimitMs = 120000) : m_reader([this] { return m_server->now; }) {
        auto server = std::make_unique<TimedServer>();
        m_server = server.get();
        m_start = m_server->now;
        m_reader.Start(30000, sessionLimitMs);
        m_reader.SetStream(std::move(server));
    }
    // A status line, and a body when the reply has one; false once the session failed.
    bool Exchange(long long roundTripMs, const std::string& reply, bool multiLine = false) {
        m_server->Answer(roundTripMs, reply);
        m_reader.BeginExchange();
        std::string status;
        if (!m_reader.ReadStatusLine(status)) {
            return false;
        }
        return !multiLine || m_reader.ReadBody([](const char*, std::size_t) { return true; },
                                               static_cast<std::size_t>(-1));
    }
    bool Login(long long roundTripMs) {
        return Exchange(roundTripMs, "+OK ready\r\n") && Exchange(roundTripMs, "+OK\r\n") &&
               Exchange(roundTripMs, "+OK\r\n") && Exchange(roundTripMs, "-ERR no CAPA\r\n");
    }
    ReplyReader& Reader() { return m_reader; }
    TimedServer& Server() { return *m_server; }
    double Seconds() const {
        return std::chrono::duration<double>(m_server->now - m_start).count();
    }

private:
    TimedServer* m_server = nullptr;
    ReplyReader m_reader;
    Clock::time_point m_start;
};

std::string Listing(int count) {
    std::string body;
    for (int n = 1; n <= count; ++n) {
        body += std::to_string(n) + " 4096\r\n";
    }
    return "+OK\r\n" + body + ".\r\n";
}

TEST(ReplyReaderTime, HonestServersWithoutPipeliningCompleteTheirChecks) {
    // 400 messages over a 600 ms round trip, and 5000 over 50 ms: each TOP brings about
    // 3 KiB of headers and first lines.
    const std::string top = "+OK\r\n" + std::string(3000, 'h') + "\r\n.\r\n";
    for (const auto& [count, roundTripMs] : {std::pair{400, 600LL}, std::pair{5000, 50LL}}) {
        SCOPED_TRACE(count);
        Session session;
        ASSERT_TRUE(session.Login(roundTripMs));
        ASSERT_TRUE(session.Exchange(roundTripMs, "+OK " + std::to_string(count) + " 1\r\n"));
        ASSERT_TRUE(session.Exchange(roundTripMs, "-ERR no UIDL\r\n"));
        ASSERT_TRUE(session.Exchange(roundTripMs, Listing(count), true));
        for (int n = 1; n <= count; ++n) {
            ASSERT_TRUE(session.Exchange(roundTripMs, top, true))
                << "message " << n << " after " << session.Seconds()
                << " s: " << session.Reader().ErrorText();
        }
        EXPECT_TRUE(session.Exchange(roundTripMs, "+OK bye\r\n"));
        EXPECT_GT(session.Seconds(), 200.0); // it did take its minutes
    }
}

TEST(ReplyReaderTime, AServerThatAnswersJustInTimeForEverIsEndedAtTheCeiling) {
    // It claims 100,000 messages, lists them in 1 MB, and refuses every TOP after 240 ms:
    // each answer comes in time, and without a ceiling the check would run for 6.7 hours.
    Session session;
    ASSERT_TRUE(session.Login(240));
    ASSERT_TRUE(session.Exchange(240, "+OK 100000 1\r\n"));
    ASSERT_TRUE(session.Exchange(240, Listing(100000), true));
    int answered = 0;
    while (session.Exchange(240, "-ERR no such message\r\n")) {
        ++answered;
    }
    EXPECT_STREQ(session.Reader().ErrorText(), "Server did not answer in time");
    EXPECT_LE(session.Seconds(), ReplyReader::kSessionCeilingMs / 1000.0);
    EXPECT_GT(session.Seconds(), ReplyReader::kSessionCeilingMs / 1000.0 - 1);
    EXPECT_LT(ReplyReader::kSessionCeilingMs, 10 * 60 * 1000);
}

TEST(ReplyReaderTime, AMultiLineReplyEarnsTimeByItsBytesUpToTenMinutes) {
    // 4050 bytes a second, a little slower than the allowance earns: without the cap the
    // reply would go on for 44 minutes; with it, it ends at the limit plus ten minutes.
    Session session(3 * 60 * 60 * 1000);
    ASSERT_TRUE(session.Login(10));
    std::string second;
    while (second.size() < 4050) {
        second += std::string(79, 'x') + "\r\n";
    }
    second.resize(4050);
    session.Server().Answer(10, "+OK\r\n");
    for (int s = 0; s < 3600; ++s) {
        session.Server().Answer(1000, second);
    }
    session.Reader().BeginExchange();
    std::string status;
    ASSERT_TRUE(session.Reader().ReadStatusLine(status));
    const double began = session.Seconds();
    EXPECT_FALSE(session.Reader().ReadBody([](const char*, std::size_t) { return true; },
                                           static_cast<std::size_t>(-1)));
    EXPECT_STREQ(session.Reader().ErrorText(), "Server did not answer in time");
    EXPECT_NEAR(session.Seconds() - began, 30 + 600, 2);
}

} // namespace
