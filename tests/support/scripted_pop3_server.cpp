#include "scripted_pop3_server.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>

namespace testsupport {

namespace {

constexpr int kSliceMs = 20;
constexpr int kStepTimeoutMs = 10000;

using Clock = std::chrono::steady_clock;

std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\0' ? "\\0" : std::string(1, c);
    }
    return out;
}

std::string FirstLines(const std::string& text, int count) {
    std::size_t end = 0;
    for (int i = 0; i < count && end < text.size(); ++i) {
        end = text.find('\n', end) + 1; // every line ends in LF
    }
    return text.substr(0, end);
}

} // namespace

std::int64_t MailMessage::Octets() const {
    return size >= 0 ? size : static_cast<std::int64_t>(headers.size() + 2 + body.size());
}

MailMessage MakeMessage(const std::string& from, const std::string& subject,
                        const std::vector<std::string>& bodyLines) {
    MailMessage message;
    message.headers = "From: " + from + "\r\nTo: ann@example.org\r\nSubject: " + subject +
                      "\r\nDate: Mon, 1 Jan 2024 10:00:00 +0000\r\n";
    for (const std::string& line : bodyLines) {
        message.body += line + "\r\n";
    }
    return message;
}

ScriptedPop3Server::ScriptedPop3Server() {
    m_listener.Listen(0);
}

ScriptedPop3Server::~ScriptedPop3Server() {
    Stop();
}

std::string ScriptedPop3Server::Address() const {
    return "127.0.0.1:" + std::to_string(Port());
}

ScriptedPop3Server& ScriptedPop3Server::ReplyInPieces(const std::vector<std::string>& pieces,
                                                      int pauseMs) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        Add(StepKind::Send, pieces[i], i > 0 ? pauseMs : 0);
    }
    return *this;
}

ScriptedPop3Server& ScriptedPop3Server::Expect(const std::string& lines) {
    std::size_t at = 0;
    do {
        const std::size_t end = std::min(lines.find('\n', at), lines.size() - 1) + 1;
        Add(StepKind::Expect, lines.substr(at, end - at));
        at = end;
    } while (at < lines.size());
    return *this;
}

ScriptedPop3Server& ScriptedPop3Server::Exchanges(const std::vector<std::string>& linesAndReplies) {
    for (std::size_t i = 0; i + 1 < linesAndReplies.size(); i += 2) {
        Expect(linesAndReplies[i]).Reply(linesAndReplies[i + 1]);
    }
    return *this;
}

ScriptedPop3Server& ScriptedPop3Server::Login(const std::string& user,
                                              const std::string& password) {
    return Reply("+OK POP3 ready\r\n")
        .Exchanges({"CAPA\r\n", "-ERR no capabilities here\r\n", "USER " + user + "\r\n", "+OK\r\n",
                    "PASS " + password + "\r\n", "+OK logged in\r\n"});
}

ScriptedPop3Server& ScriptedPop3Server::ServeMailbox(const Mailbox& mailbox) {
    m_mailboxMode = true;
    m_mailbox = mailbox;
    return *this;
}

void ScriptedPop3Server::Start() {
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Run(); });
    }
}

void ScriptedPop3Server::Stop() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_listener.Close();
}

bool ScriptedPop3Server::WaitForClosedConnections(int count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_closed >= count; });
}

void ScriptedPop3Server::Run() {
    while (!m_stop) {
        net::TcpSocket connection;
        if (!m_listener.Accept(connection, kSliceMs)) {
            continue;
        }
        connection.SetNoDelay(true); // so that pieces leave as pieces
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_connections;
        }
        m_buffered.clear();
        // Unless it hung up, the server records until the client leaves.
        if (m_mailboxMode ? RunMailbox(connection) : RunScript(connection)) {
            while (Take(connection)) {
            }
        }
        connection.Close();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_closed;
        }
        m_changed.notify_all();
        if (!m_mailboxMode) {
            break; // a script describes one session
        }
    }
}

bool ScriptedPop3Server::RunScript(net::TcpSocket& connection) {
    bool quitAnswered = false; // as servers do, the connection ends after QUIT's answer
    for (const Step& step : m_steps) {
        if (step.kind == StepKind::Send) {
            if (!Sleep(step.pauseMs) ||
                !connection.SendAll(step.text.data(), step.text.size(), kStepTimeoutMs)) {
                return false;
            }
        } else if (step.kind == StepKind::Expect) {
            std::string line;
            if (!ReadLine(connection, line)) {
                if (!m_stop) {
                    NoteMismatch("expected \"" + Printable(step.text) + "\", client left or late");
                }
                return false;
            }
            if (!step.text.empty() && line != step.text) {
                NoteMismatch("expected \"" + Printable(step.text) + "\", got \"" + Printable(line) +
                             "\"");
                return false;
            }
            quitAnswered = line == "QUIT\r\n";
        } else {
            return step.kind == StepKind::Silence;
        }
    }
    return !quitAnswered;
}

bool ScriptedPop3Server::RunMailbox(net::TcpSocket& connection) {
    std::string answer = "+OK POP3 ready\r\n";
    bool authorized = false;
    bool quit = false;
    std::string user;
    std::vector<bool> marked(m_mailbox.messages.size(), false);
    for (;;) {
        std::string line;
        if (!connection.SendAll(answer.data(), answer.size(), kStepTimeoutMs) || quit ||
            !ReadLine(connection, line)) {
            break;
        }
        const auto canned = m_mailbox.overrides.find(line);
        answer = canned != m_mailbox.overrides.end() ? canned->second
                                                     : Answer(line, authorized, user, marked, quit);
    }
    return !quit;
}

std::string ScriptedPop3Server::Answer(const std::string& line, bool& authorized, std::string& user,
                                       std::vector<bool>& marked, bool& quit) {
    const std::string text = line.substr(0, line.find_first_of("\r\n"));
    const std::size_t blank = text.find(' ');
    const std::string verb = text.substr(0, blank);
    const std::string argument = blank == std::string::npos ? "" : text.substr(blank + 1);
    const auto& messages = m_mailbox.messages;
    const auto& offered = m_mailbox.capabilities;
    const int n = std::atoi(argument.c_str());
    const bool exists = n >= 1 && n <= static_cast<int>(messages.size()) && !marked[n - 1];

    if (verb == "QUIT") {
        quit = true;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t i = 0; authorized && i < marked.size(); ++i) {
            if (marked[i]) {
                m_deleted.push_back(static_cast<int>(i) + 1);
            }
        }
        return "+OK bye\r\n";
    }
    if (verb == "USER" && !authorized) {
        user = argument;
        return "+OK\r\n";
    }
    if (verb == "PASS" && !authorized) {
        authorized = user == m_mailbox.user && argument == m_mailbox.password;
        return authorized ? "+OK logged in\r\n" : "-ERR [AUTH] Authentication failed.\r\n";
    }
    if (!authorized) {
        return "-ERR not logged in\r\n";
    }
    std::ostringstream listing;
    int count = 0;
    std::int64_t total = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (!marked[i]) {
            ++count;
            total += messages[i].Octets();
            listing << i + 1 << ' ' << messages[i].Octets() << "\r\n";
        }
    }
    if (verb == "CAPA") {
        std::string list;
        for (const std::string& capability : offered) {
            list += capability + "\r\n";
        }
        return offered.empty() ? "-ERR unknown command\r\n" : "+OK\r\n" + list + ".\r\n";
    }
    if (verb == "UIDL" && std::find(offered.begin(), offered.end(), "UIDL") != offered.end()) {
        auto uid = [&](std::size_t i) {
            return messages[i].uid.empty() ? "uid" + std::to_string(i + 1) : messages[i].uid;
        };
        if (argument.empty()) {
            std::string list;
            for (std::size_t i = 0; i < messages.size(); ++i) {
                list += marked[i] ? "" : std::to_string(i + 1) + " " + uid(i) + "\r\n";
            }
            return "+OK\r\n" + list + ".\r\n";
        }
        if (exists) {
            return "+OK " + std::to_string(n) + " " + uid(static_cast<std::size_t>(n - 1)) + "\r\n";
        }
    }
    if (verb == "STAT") {
        return "+OK " + std::to_string(count) + " " + std::to_string(total) + "\r\n";
    }
    if (verb == "LIST" && !argument.empty()) {
        return exists ? "+OK " + std::to_string(n) + " " +
                            std::to_string(messages[n - 1].Octets()) + "\r\n"
                      : "-ERR no such message\r\n";
    }
    if (verb == "LIST") {
        return "+OK " + std::to_string(count) + " messages\r\n" + listing.str() + ".\r\n";
    }
    if (verb == "TOP" && exists) {
        const MailMessage& message = messages[n - 1];
        const int lines = std::atoi(argument.substr(argument.find(' ') + 1).c_str());
        return "+OK\r\n" + message.headers + "\r\n" + FirstLines(message.body, lines) + ".\r\n";
    }
    if (verb == "DELE" && exists) {
        marked[n - 1] = true;
        return "+OK message deleted\r\n";
    }
    return "-ERR no such message or command\r\n";
}

// Records what the client sent within one slice; false once it has left (or on Stop).
bool ScriptedPop3Server::Take(net::TcpSocket& connection) {
    char buffer[4096];
    const net::RecvResult got = connection.Receive(buffer, sizeof buffer, kSliceMs);
    if (got.status == net::RecvStatus::Data) {
        m_buffered.append(buffer, got.bytes);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.append(buffer, got.bytes);
    }
    return !m_stop &&
           (got.status == net::RecvStatus::Data || got.status == net::RecvStatus::TimedOut);
}

bool ScriptedPop3Server::ReadLine(net::TcpSocket& connection, std::string& line) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStepTimeoutMs);
    std::size_t lf = 0;
    while ((lf = m_buffered.find('\n')) == std::string::npos) {
        if (Clock::now() >= deadline || !Take(connection)) {
            return false;
        }
    }
    line = m_buffered.substr(0, lf + 1);
    m_buffered.erase(0, lf + 1);
    return true;
}

bool ScriptedPop3Server::Sleep(int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!m_stop && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs / 4));
    }
    return !m_stop;
}

void ScriptedPop3Server::NoteMismatch(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mismatches.push_back(text);
}

} // namespace testsupport
