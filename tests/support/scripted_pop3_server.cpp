#include "scripted_pop3_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <sstream>

namespace testsupport {

namespace {

constexpr int kSliceMs = 20;

using Clock = std::chrono::steady_clock;

std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\0') {
            out += "\\0";
        } else {
            out += c;
        }
    }
    return out;
}

// Lines of a text that each end in CR LF, a leading "." doubled as the protocol wants.
std::string DotStuffed(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == '.') {
            out += '.';
        }
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string FirstLines(const std::string& text, int count) {
    std::size_t end = 0;
    for (int i = 0; i < count && end < text.size(); ++i) {
        const std::size_t lf = text.find('\n', end);
        end = lf == std::string::npos ? text.size() : lf + 1;
    }
    return text.substr(0, end);
}

} // namespace

int MailMessage::Octets() const {
    return size >= 0 ? size : static_cast<int>(Text().size());
}

std::string MailMessage::Text() const {
    return headers + "\r\n" + body;
}

MailMessage MakeMessage(const std::string& from, const std::string& subject,
                        const std::vector<std::string>& bodyLines) {
    MailMessage message;
    message.headers = "Return-Path: <" + from + ">\r\nFrom: " + from +
                      "\r\nTo: ann@example.org\r\n" + "Subject: " + subject +
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

ScriptedPop3Server& ScriptedPop3Server::Reply(const std::string& bytes) {
    m_steps.push_back({StepKind::Send, bytes, 0});
    return *this;
}

ScriptedPop3Server& ScriptedPop3Server::ReplyInPieces(const std::vector<std::string>& pieces,
                                                      int pauseMs) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            Pause(pauseMs);
        }
        Reply(pieces[i]);
    }
    return *this;
}

ScriptedPop3Server& ScriptedPop3Server::Pause(int milliseconds) {
    m_steps.push_back({StepKind::Pause, std::string(), milliseconds});
    return *this;
}

ScriptedPop3Server& ScriptedPop3Server::Expect(const std::string& line) {
    m_steps.push_back({StepKind::Expect, line, 0});
    return *this;
}

ScriptedPop3Server& ScriptedPop3Server::Silence() {
    m_steps.push_back({StepKind::Silence, std::string(), 0});
    return *this;
}

ScriptedPop3Server& ScriptedPop3Server::CloseConnection() {
    m_steps.push_back({StepKind::Close, std::string(), 0});
    return *this;
}

ScriptedPop3Server& ScriptedPop3Server::Login(const std::string& user,
                                              const std::string& password) {
    return Reply("+OK POP3 ready\r\n")
        .Expect("USER " + user + "\r\n")
        .Reply("+OK\r\n")
        .Expect("PASS " + password + "\r\n")
        .Reply("+OK logged in\r\n");
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

std::string ScriptedPop3Server::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::vector<std::string> ScriptedPop3Server::Mismatches() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mismatches;
}

int ScriptedPop3Server::Connections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections;
}

std::vector<int> ScriptedPop3Server::Deleted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_deleted;
}

int ScriptedPop3Server::MessagesLeft() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_mailbox.messages.size());
}

void ScriptedPop3Server::Run() {
    while (!m_stop) {
        net::TcpSocket connection;
        if (!m_listener.Accept(connection, kSliceMs)) {
            continue;
        }
        connection.SetNoDelay(true);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_connections;
        }
        m_buffered.clear();
        if (m_mailboxMode) {
            RunMailbox(connection);
        } else {
            RunScript(connection);
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

void ScriptedPop3Server::RunScript(net::TcpSocket& connection) {
    for (const Step& step : m_steps) {
        switch (step.kind) {
        case StepKind::Send:
            if (!Send(connection, step.text)) {
                return;
            }
            break;
        case StepKind::Pause:
            if (!Sleep(step.milliseconds)) {
                return;
            }
            break;
        case StepKind::Expect: {
            std::string line;
            const LineResult result = ReadLine(connection, line, m_stepTimeoutMs);
            if (result == LineResult::Stopped) {
                return;
            }
            if (result != LineResult::Line) {
                NoteMismatch("expected \"" + Printable(step.text) + "\", " +
                             (result == LineResult::Closed ? "client left" : "timed out"));
                return;
            }
            if (line != step.text) {
                NoteMismatch("expected \"" + Printable(step.text) + "\", got \"" + Printable(line) +
                             "\"");
                return;
            }
            break;
        }
        case StepKind::Silence:
            DrainUntilClosed(connection);
            return;
        case StepKind::Close:
            return;
        }
    }
    DrainUntilClosed(connection);
}

void ScriptedPop3Server::RunMailbox(net::TcpSocket& connection) {
    if (!Send(connection, m_mailbox.greeting)) {
        return;
    }
    bool authorized = false;
    bool quit = false;
    std::string user;
    std::vector<bool> marked(m_mailbox.messages.size(), false);
    while (!quit) {
        std::string line;
        if (ReadLine(connection, line, m_stepTimeoutMs) != LineResult::Line) {
            return;
        }
        const auto canned = m_mailbox.overrides.find(line);
        const std::string answer = canned != m_mailbox.overrides.end()
                                       ? canned->second
                                       : Answer(line, authorized, user, marked, quit);
        if (answer.empty() || !Send(connection, answer)) {
            return;
        }
    }
    DrainUntilClosed(connection);
}

std::string ScriptedPop3Server::Answer(const std::string& line, bool& authorized, std::string& user,
                                       std::vector<bool>& marked, bool& quit) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    const std::size_t blank = text.find(' ');
    std::string verb = text.substr(0, blank);
    const std::string argument =
        blank == std::string::npos ? std::string() : text.substr(blank + 1);
    for (char& c : verb) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const auto& messages = m_mailbox.messages;

    // Message number n of this session, or -1 when there is none such.
    auto lookup = [&](const std::string& number) -> int {
        const int n = std::atoi(number.c_str());
        if (n < 1 || n > static_cast<int>(messages.size()) || marked[n - 1]) {
            return -1;
        }
        return n - 1;
    };

    if (verb == "QUIT") {
        quit = true;
        if (authorized) {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (std::size_t i = marked.size(); i-- > 0;) {
                if (marked[i]) {
                    m_mailbox.messages.erase(m_mailbox.messages.begin() +
                                             static_cast<std::ptrdiff_t>(i));
                }
            }
            for (std::size_t i = 0; i < marked.size(); ++i) {
                if (marked[i]) {
                    m_deleted.push_back(static_cast<int>(i) + 1);
                }
            }
        }
        return "+OK bye\r\n";
    }
    if (!authorized) {
        if (verb == "USER") {
            user = argument;
            return "+OK\r\n";
        }
        if (verb == "PASS") {
            authorized = user == m_mailbox.user && argument == m_mailbox.password;
            return authorized ? "+OK logged in\r\n" : "-ERR [AUTH] Authentication failed.\r\n";
        }
        return "-ERR not logged in\r\n";
    }

    int count = 0;
    long total = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (!marked[i]) {
            ++count;
            total += messages[i].Octets();
        }
    }
    if (verb == "STAT") {
        return "+OK " + std::to_string(count) + " " + std::to_string(total) + "\r\n";
    }
    if (verb == "LIST") {
        if (!argument.empty()) {
            const int i = lookup(argument);
            return i < 0 ? "-ERR no such message\r\n"
                         : "+OK " + argument + " " + std::to_string(messages[i].Octets()) + "\r\n";
        }
        std::ostringstream out;
        out << "+OK " << count << " messages (" << total << " octets)\r\n";
        for (std::size_t i = 0; i < messages.size(); ++i) {
            if (!marked[i]) {
                out << i + 1 << ' ' << messages[i].Octets() << "\r\n";
            }
        }
        out << ".\r\n";
        return out.str();
    }
    if (verb == "TOP") {
        const std::size_t split = argument.find(' ');
        const int i = lookup(argument.substr(0, split));
        if (i < 0 || split == std::string::npos) {
            return "-ERR no such message\r\n";
        }
        const int lines = std::atoi(argument.substr(split + 1).c_str());
        const MailMessage& message = messages[i];
        return "+OK\r\n" + DotStuffed(message.headers + "\r\n" + FirstLines(message.body, lines)) +
               ".\r\n";
    }
    if (verb == "RETR") {
        const int i = lookup(argument);
        return i < 0 ? "-ERR no such message\r\n"
                     : "+OK " + std::to_string(messages[i].Octets()) + " octets\r\n" +
                           DotStuffed(messages[i].Text()) + ".\r\n";
    }
    if (verb == "DELE") {
        const int i = lookup(argument);
        if (i < 0) {
            return "-ERR no such message\r\n";
        }
        marked[i] = true;
        return "+OK message deleted\r\n";
    }
    if (verb == "RSET") {
        marked.assign(marked.size(), false);
        return "+OK\r\n";
    }
    if (verb == "NOOP") {
        return "+OK\r\n";
    }
    return "-ERR unknown command\r\n";
}

bool ScriptedPop3Server::Send(net::TcpSocket& connection, const std::string& bytes) {
    return !m_stop && connection.SendAll(bytes.data(), bytes.size());
}

ScriptedPop3Server::LineResult ScriptedPop3Server::ReadLine(net::TcpSocket& connection,
                                                            std::string& line, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t lf = m_buffered.find('\n');
        if (lf != std::string::npos) {
            line = m_buffered.substr(0, lf + 1);
            m_buffered.erase(0, lf + 1);
            return LineResult::Line;
        }
        if (m_stop) {
            return LineResult::Stopped;
        }
        if (Clock::now() >= deadline) {
            return LineResult::TimedOut;
        }
        char buffer[4096];
        const net::RecvResult got = connection.Receive(buffer, sizeof buffer, kSliceMs);
        if (got.status == net::RecvStatus::Data) {
            m_buffered.append(buffer, got.bytes);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.append(buffer, got.bytes);
        } else if (got.status != net::RecvStatus::TimedOut) {
            return LineResult::Closed;
        }
    }
}

void ScriptedPop3Server::DrainUntilClosed(net::TcpSocket& connection) {
    while (!m_stop) {
        char buffer[4096];
        const net::RecvResult got = connection.Receive(buffer, sizeof buffer, kSliceMs);
        if (got.status == net::RecvStatus::Data) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.append(buffer, got.bytes);
        } else if (got.status != net::RecvStatus::TimedOut) {
            return;
        }
    }
}

bool ScriptedPop3Server::Sleep(int milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < deadline) {
        if (m_stop) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(kSliceMs, milliseconds)));
    }
    return !m_stop;
}

void ScriptedPop3Server::NoteMismatch(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mismatches.push_back(text);
}

} // namespace testsupport
