#pragma once

// An in-process POP3 peer for tests, on 127.0.0.1 at a free port, running on its own
// thread. It works in one of two modes:
//
// Script mode: one connection, driven step by step by the test.
//
//     ScriptedPop3Server server;
//     server.Reply("+OK ready\r\n")
//         .Expect("USER ann\r\n").Reply("+OK\r\n")
//         .Expect("PASS secret\r\n").Reply("-ERR wrong\r\n");
//     server.Start();
//     ... client connects to 127.0.0.1:server.Port() ...
//     EXPECT_EQ(server.Received(), "USER ann\r\nPASS secret\r\n");
//     EXPECT_TRUE(server.Mismatches().empty());
//
//   Reply(bytes)              sends bytes as they are (no CR LF added)
//   ReplyInPieces(p, ms)      sends each piece separately, pausing ms between them
//   Pause(ms)                 waits before the next step
//   Expect(line)              reads one client line (through its LF) and compares it; a
//                             different line is noted in Mismatches() and ends the session
//   Silence()                 never answers again; keeps the connection open until the
//                             client leaves or the server stops
//   CloseConnection()         closes the connection at this point (e.g. mid-reply)
//   Login(user, password)     shorthand: a "+OK" greeting, then USER and PASS each
//                             expected and answered "+OK"
//   After the last step the server keeps recording what the client sends until it leaves.
//
// Mailbox mode: ServeMailbox(box) answers any number of connections, one after the
// other, as a small server would: USER, PASS, STAT, LIST [n], TOP n k, RETR n, DELE n,
// NOOP, RSET and QUIT, in whatever order the client sends them. Deletions take effect at
// QUIT and stay for later connections. An exact command line can be given a canned
// answer (Mailbox::overrides), e.g. {"TOP 2 8\r\n", "-ERR gone\r\n"}; an empty answer
// (Mailbox::kHangUp) closes the connection instead.
//
// Time limits everywhere: Expect gives up after StepTimeout (10 s by default) and notes
// it; every wait checks for Stop() at least every 20 ms. Stop() (also run by the
// destructor) closes everything and joins the thread.
//
// Received() holds every byte received on every connection, in order.

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/tcp_listener.h"
#include "net/tcp_socket.h"

namespace testsupport {

struct MailMessage {
    std::string headers; // header lines, each ending in CR LF
    std::string body;    // body lines, each ending in CR LF
    int size = -1;       // the octets LIST and STAT give; -1: headers + CR LF + body

    int Octets() const;
    std::string Text() const; // headers, the empty line, the body
};

struct Mailbox {
    static constexpr const char* kHangUp = "";

    std::string user = "ann";
    std::string password = "secret";
    std::string greeting = "+OK POP3 ready\r\n";
    std::vector<MailMessage> messages;
    std::map<std::string, std::string> overrides; // exact command line -> raw answer
};

// A message with the usual four headers and the given body lines.
MailMessage MakeMessage(const std::string& from, const std::string& subject,
                        const std::vector<std::string>& bodyLines);

class ScriptedPop3Server {
public:
    ScriptedPop3Server();
    ~ScriptedPop3Server();
    ScriptedPop3Server(const ScriptedPop3Server&) = delete;
    ScriptedPop3Server& operator=(const ScriptedPop3Server&) = delete;

    unsigned short Port() const { return m_listener.Port(); }
    std::string Address() const; // "127.0.0.1:<port>"

    ScriptedPop3Server& Reply(const std::string& bytes);
    ScriptedPop3Server& ReplyInPieces(const std::vector<std::string>& pieces, int pauseMs);
    ScriptedPop3Server& Pause(int milliseconds);
    ScriptedPop3Server& Expect(const std::string& line);
    ScriptedPop3Server& Silence();
    ScriptedPop3Server& CloseConnection();
    ScriptedPop3Server& Login(const std::string& user = "ann",
                              const std::string& password = "secret");

    ScriptedPop3Server& ServeMailbox(const Mailbox& mailbox);

    void SetStepTimeout(int milliseconds) { m_stepTimeoutMs = milliseconds; }

    void Start();
    void Stop();

    // Waits until count connections have ended (the client left, or the script closed).
    bool WaitForClosedConnections(int count, int timeoutMs);

    std::string Received() const;
    std::vector<std::string> Mismatches() const;
    int Connections() const;
    // Message numbers (as the deleting session saw them) removed at a QUIT, in order.
    std::vector<int> Deleted() const;
    int MessagesLeft() const;

private:
    enum class StepKind { Send, Pause, Expect, Silence, Close };
    struct Step {
        StepKind kind;
        std::string text;
        int milliseconds;
    };
    enum class LineResult { Line, Closed, TimedOut, Stopped };

    void Run();
    void RunScript(net::TcpSocket& connection);
    void RunMailbox(net::TcpSocket& connection);
    bool Send(net::TcpSocket& connection, const std::string& bytes);
    LineResult ReadLine(net::TcpSocket& connection, std::string& line, int timeoutMs);
    void DrainUntilClosed(net::TcpSocket& connection);
    bool Sleep(int milliseconds);
    void NoteMismatch(const std::string& text);
    std::string Answer(const std::string& line, bool& authorized, std::string& user,
                       std::vector<bool>& marked, bool& quit);

    net::TcpListener m_listener;
    std::vector<Step> m_steps;
    bool m_mailboxMode = false;
    Mailbox m_mailbox;
    int m_stepTimeoutMs = 10000;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::string m_buffered; // received, not yet taken as a line

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_received;
    std::vector<std::string> m_mismatches;
    std::vector<int> m_deleted;
    int m_connections = 0;
    int m_closed = 0;
};

} // namespace testsupport
