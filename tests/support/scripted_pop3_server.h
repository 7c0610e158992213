#pragma once

// An in-process POP3 peer for tests on 127.0.0.1, on its own thread; every wait has a limit.
// Script mode: one connection, step by step. Expect("") takes any line; a different line is
// noted in Mismatches() and ends the session. After the last step the server records until
// the client leaves, or hangs up when that step answered QUIT.
// Mailbox mode (ServeMailbox): any number of connections, answering USER, PASS, CAPA, STAT,
// UIDL, LIST, TOP, DELE and QUIT in any order. Messages marked at a QUIT are noted in
// Deleted() but stay. Lines are not dot-stuffed. Received() holds every byte of every
// connection.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/tcp_listener.h"
#include "net/tcp_socket.h"

namespace testsupport {

struct MailMessage {
    std::string headers;    // lines ending in CR LF
    std::string body;       // lines ending in CR LF
    std::int64_t size = -1; // the octets LIST and STAT give; -1: the real size
    std::string uid;        // what UIDL gives; empty: "uid" and the message number

    std::int64_t Octets() const;
};

struct Mailbox {
    std::string user = "ann";
    std::string password = "secret";
    std::vector<MailMessage> messages;
    std::map<std::string, std::string> overrides; // exact command line -> raw answer
    // Listed in the CAPA answer; none: CAPA is refused. UIDL is answered only when listed.
    std::vector<std::string> capabilities;
};

// A message with From, To, Subject and Date headers and the given body lines.
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

    ScriptedPop3Server& Reply(const std::string& bytes) { return Add(StepKind::Send, bytes); }
    ScriptedPop3Server& ReplyInPieces(const std::vector<std::string>& pieces, int pauseMs);
    ScriptedPop3Server& Expect(const std::string& lines);
    // Pairs in turn: a line expected, then the reply to it.
    ScriptedPop3Server& Exchanges(const std::vector<std::string>& linesAndReplies);
    ScriptedPop3Server& Silence() { return Add(StepKind::Silence); } // never answers again
    ScriptedPop3Server& CloseConnection() { return Add(StepKind::Close); }
    // A "+OK" greeting, CAPA refused, then USER and PASS each expected and answered "+OK".
    ScriptedPop3Server& Login(const std::string& user = "ann",
                              const std::string& password = "secret");
    ScriptedPop3Server& ServeMailbox(const Mailbox& mailbox);

    void Start();
    void Stop();

    // Waits until count connections have ended (the client left, or the script closed).
    bool WaitForClosedConnections(int count, int timeoutMs);

    std::string Received() const { return Locked(m_received); }
    std::vector<std::string> Mismatches() const { return Locked(m_mismatches); }
    int Connections() const { return Locked(m_connections); }
    std::vector<int> Deleted() const { return Locked(m_deleted); } // marked at a QUIT, in order

private:
    enum class StepKind { Send, Expect, Silence, Close };
    struct Step {
        StepKind kind;
        std::string text;
        int pauseMs; // before a Send
    };

    ScriptedPop3Server& Add(StepKind kind, const std::string& text = "", int pauseMs = 0) {
        m_steps.push_back({kind, text, pauseMs});
        return *this;
    }
    template <class T> T Locked(const T& value) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return value;
    }

    void Run();
    bool RunScript(net::TcpSocket& connection); // false: hung up
    bool RunMailbox(net::TcpSocket& connection);
    std::string Answer(const std::string& line, bool& authorized, std::string& user,
                       std::vector<bool>& marked, bool& quit);
    bool Take(net::TcpSocket& connection);
    bool ReadLine(net::TcpSocket& connection, std::string& line);
    bool Sleep(int milliseconds);
    void NoteMismatch(const std::string& text);

    net::TcpListener m_listener;
    std::vector<Step> m_steps;
    bool m_mailboxMode = false;
    Mailbox m_mailbox;
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
