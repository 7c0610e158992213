#include "pop3/pop.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <mutex>

#include "net/tcp_socket.h"
#include "pop3/pop_text.h"
#include "pop3/scratch_file.h"
#include "pop3/scratch_folder.h"

namespace {

// A command line with its CR LF must fit what servers are required to accept.
constexpr std::size_t kMaxCommandLine = 511;
constexpr std::size_t kSummaryLimit = 1024;
// Status lines are at most 512 characters by the protocol; far beyond that a server that
// never ends its line could only make the client hoard memory.
constexpr std::size_t kMaxReplyLine = 65536;
// A whole LIST of a large mailbox fits in a few receives; each receive gets at least
// kReceiveRoom bytes of space.
constexpr std::size_t kReceiveBuffer = 65536;
constexpr std::size_t kReceiveRoom = 16384;

constexpr char kTerminator[] = "\r\n.\r\n";
constexpr std::size_t kTerminatorLength = sizeof kTerminator - 1;

bool HoldsLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::string After(const std::string& text, std::size_t count) {
    return text.size() > count ? text.substr(count) : std::string();
}

// Without a private folder the path is empty and the file cannot be created: a scratch
// file never lands in the working directory.
pop3::ScratchFile CreateScratch(const char* name) {
    const std::filesystem::path folder = pop3::ScratchFolder();
    return pop3::ScratchFile(folder.empty() ? folder : folder / name);
}

// Splits text as std::getline does: at each LF, which the line loses; a last line without
// one counts when it is not empty. `complete` tells whether the line had its LF.
bool NextLine(std::string_view& rest, std::string_view& line, bool& complete) {
    if (rest.empty()) {
        return false;
    }
    const std::size_t newline = rest.find('\n');
    complete = newline != std::string_view::npos;
    line = rest.substr(0, newline);
    rest.remove_prefix(complete ? newline + 1 : rest.size());
    return true;
}

} // namespace

CPop::CPop() : m_Buffer(kReceiveBuffer) {}

CPop::~CPop() = default;

bool CPop::Fail(const char* text) {
    m_Error = text;
    return false;
}

bool CPop::Connect(const std::string& host, unsigned int port, const std::string& user,
                   const std::string& password) {
    // Checked before the connection exists, so a bad name can never reach the server
    // and end a command early.
    if (HoldsLineBreakOrNul(user) || HoldsLineBreakOrNul(password)) {
        return Fail("Bad character in user name or password");
    }
    if (user.size() + 7 > kMaxCommandLine || password.size() + 7 > kMaxCommandLine) {
        return Fail("Command too long");
    }
    m_Begin = m_End = 0;
    m_Stream = port > 65535 ? nullptr : OpenStream(host, static_cast<unsigned short>(port));
    if (!m_Stream) {
        return Fail("Server cannot be connected");
    }
    std::string greeting;
    return ReadStatus(ReplyKind::Greeting, greeting) &&
           Command("USER " + user + "\r\n", ReplyKind::User) &&
           Command("PASS " + password + "\r\n", ReplyKind::Pass);
}

std::unique_ptr<net::Stream> CPop::OpenStream(const std::string& host, unsigned short port) {
    auto socket = std::make_unique<net::TcpSocket>();
    if (!socket->Connect(host, port, m_TimeoutMs)) {
        return nullptr;
    }
    return socket;
}

bool CPop::Connect() {
    return Connect(m_Host, static_cast<unsigned int>(m_Port), m_User, m_Pass);
}

bool CPop::Stat() {
    std::string status;
    if (!SendCommand("STAT\r\n") || !ReadStatus(ReplyKind::Stat, status)) {
        return false;
    }
    ParseStat(status);
    return true;
}

void CPop::ParseStat(const std::string& status) {
    // Counts follow the first and the second blank or tab, read as atoi reads them;
    // the scan, like a C string, ends at the first NUL.
    const std::string text = status.substr(0, status.find('\0'));
    int separators = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ' ' && text[i] != '\t') {
            continue;
        }
        const int value = pop3::ReadInt(std::string_view(text).substr(i));
        if (++separators == 1) {
            m_MessageCount = value;
        } else {
            m_TotalSize = value;
            return;
        }
    }
}

bool CPop::List() {
    m_Sizes.clear();
    std::lock_guard<std::mutex> lock(pop3::ScratchLock());
    if (!SendCommand("LIST\r\n")) {
        return false;
    }
    // Made while the server works on the command, where it costs no time.
    pop3::ScratchFile file = CreateScratch("templist.pop");
    std::string status;
    std::string text;
    if (!ReadStatus(ReplyKind::List, status) || !SpoolBody(file)) {
        return false;
    }
    if (!file.ReadBack(text)) {
        return Fail("cant open templist file");
    }
    ParseList(text);
    return true;
}

void CPop::ParseList(std::string_view text) {
    std::string_view line;
    bool complete = false;
    while (NextLine(text, line, complete)) {
        const std::string clean = pop3::CleanLine(line);
        const std::size_t blank = clean.find(' ');
        if (blank == std::string::npos) {
            continue; // the closing "." line, or anything that is no listing
        }
        const int message = pop3::ReadInt(std::string_view(clean).substr(0, blank));
        if (message >= 1) {
            m_Sizes[message] = pop3::ReadInt(std::string_view(clean).substr(blank + 1));
        }
    }
}

int CPop::GetMessageSize(int message) const {
    const auto found = m_Sizes.find(message);
    return found == m_Sizes.end() ? 0 : found->second;
}

bool CPop::Top(int message, int lines) {
    // A refused or unreadable TOP must not leave the previous message's headers behind
    // for the caller to file under this one.
    m_To.clear();
    m_From.clear();
    m_Subject.clear();
    m_Date.clear();
    m_Summary.clear();

    std::lock_guard<std::mutex> lock(pop3::ScratchLock());
    if (!SendCommand("TOP " + std::to_string(message) + " " + std::to_string(lines) + "\r\n")) {
        return false;
    }
    // Made while the server works on the command, where it costs no time.
    pop3::ScratchFile file = CreateScratch("temptop.pop");
    std::string status;
    std::string text;
    if (!ReadStatus(ReplyKind::Top, status) || !SpoolBody(file)) {
        return false;
    }
    if (!file.ReadBack(text)) {
        return Fail("cant open message file");
    }
    return ParseHeaders(text); // the file goes after the parse
}

bool CPop::ParseHeaders(std::string_view text) {
    std::string_view line;
    bool complete = false;
    while (NextLine(text, line, complete)) {
        if (line == "\r" && complete) {
            // The empty line ends the headers; the body follows as received.
            m_Summary.assign(text.substr(0, kSummaryLimit));
            break;
        }
        const std::string clean = pop3::CleanLine(line);
        // The counts assume one blank after the colon; the names keep their case.
        if (StartsWith(clean, "To:")) {
            m_To = After(clean, 4);
        } else if (StartsWith(clean, "From:")) {
            m_From = After(clean, 6);
        } else if (StartsWith(clean, "Subject:")) {
            m_Subject = After(clean, 9);
        } else if (StartsWith(clean, "Date:")) {
            m_Date = After(clean, 6);
        }
    }
    return !m_To.empty() && !m_From.empty() && !m_Date.empty();
}

bool CPop::Retr(int message) {
    std::string status;
    if (!SendCommand("RETR " + std::to_string(message) + "\r\n") ||
        !ReadStatus(ReplyKind::Retr, status)) {
        return false;
    }
    std::string text;
    if (!ReadBody([&text](const char* data, std::size_t length) { text.append(data, length); })) {
        return false;
    }
    m_RetrText = std::move(text);
    return true;
}

bool CPop::Retr(int message, const std::string& outputFile) {
    std::ofstream out(outputFile, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        return Fail("Error opening output file");
    }
    std::string status;
    if (!SendCommand("RETR " + std::to_string(message) + "\r\n") ||
        !ReadStatus(ReplyKind::Retr, status) ||
        !ReadBody([&out](const char* data, std::size_t length) {
            out.write(data, static_cast<std::streamsize>(length));
        })) {
        return false;
    }
    out.close();
    return out.fail() ? Fail("Error writing output file") : true;
}

bool CPop::Dele(int message) {
    return Command("DELE " + std::to_string(message) + "\r\n", ReplyKind::Dele);
}

bool CPop::Noop() {
    return Command("NOOP\r\n", ReplyKind::Noop);
}

bool CPop::Rset() {
    return Command("RSET\r\n", ReplyKind::Rset);
}

bool CPop::Quit() {
    if (!Command("QUIT\r\n", ReplyKind::Quit)) {
        return false; // the connection stays until the object goes
    }
    m_Stream.reset();
    m_Begin = m_End = 0;
    return true;
}

bool CPop::SendCommand(const std::string& line) {
    if (line.size() > kMaxCommandLine) {
        return Fail("Command too long");
    }
    if (!m_Stream || !m_Stream->SendAll(line.data(), line.size(), m_TimeoutMs)) {
        return Fail("Error writing to socket!");
    }
    return true;
}

bool CPop::Command(const std::string& line, ReplyKind kind) {
    std::string status;
    return SendCommand(line) && ReadStatus(kind, status);
}

bool CPop::ReadStatus(ReplyKind kind, std::string& status) {
    if (!ReadLine(status)) {
        return false;
    }
    if (!pop3::BeginsWithErr(status)) {
        return true; // "+OK" is never required: anything but "-ERR" is a success
    }
    switch (kind) {
    case ReplyKind::Greeting:
        return Fail("Bad Connection");
    case ReplyKind::User:
        return Fail("Bad User Name");
    case ReplyKind::Pass:
        return Fail("Bad Password Name");
    case ReplyKind::Quit:
        return Fail("Error occured during QUIT");
    case ReplyKind::Dele:
        return Fail("Error occured during DELE");
    case ReplyKind::Rset:
        return Fail("Error occured during RSET");
    case ReplyKind::Stat:
        return Fail("Error occured during STAT");
    case ReplyKind::Noop:
        return Fail("Error occured during NOOP");
    case ReplyKind::List:
        return Fail("Error occured during LIST");
    case ReplyKind::Retr:
        return Fail("Error occured during RETR");
    case ReplyKind::Top:
        return Fail("Error occured during TOP");
    }
    return false;
}

std::string_view CPop::Pending() const {
    return std::string_view(m_Buffer.data() + m_Begin, m_End - m_Begin);
}

bool CPop::ReadLine(std::string& line) {
    std::size_t searchFrom = 0;
    for (;;) {
        const std::string_view pending = Pending();
        const std::size_t end = pending.find("\r\n", searchFrom);
        if (std::min(end, pending.size()) > kMaxReplyLine) {
            return Fail("Reply line too long");
        }
        if (end != std::string_view::npos) {
            line.assign(pending.data(), end + 2);
            m_Begin += end + 2;
            return true;
        }
        // A CR at the very end may pair with an LF still to come.
        searchFrom = pending.empty() ? 0 : pending.size() - 1;
        if (!ReceiveMore()) {
            return false;
        }
    }
}

bool CPop::ReadBody(const Sink& sink) {
    // The status line's CR LF precedes the body, so the body may open with the "." line.
    bool atStart = true;
    for (;;) {
        const std::string_view pending = Pending();
        std::size_t end = std::string_view::npos;
        if (atStart && pending.compare(0, 3, kTerminator + 2) == 0) {
            end = 3;
        } else if (const std::size_t found = pending.find(kTerminator);
                   found != std::string_view::npos) {
            end = found + kTerminatorLength;
        }
        if (end != std::string_view::npos) {
            sink(pending.data(), end);
            m_Begin += end; // anything after the reply is the next one's
            return true;
        }
        // Hand on all but what may be the start of a terminator that the next read completes.
        if (pending.size() >= kTerminatorLength) {
            const std::size_t done = pending.size() - (kTerminatorLength - 1);
            sink(pending.data(), done);
            m_Begin += done;
            atStart = false;
        }
        if (!ReceiveMore()) {
            return false;
        }
    }
}

bool CPop::ReceiveMore() {
    if (m_Begin == m_End) {
        m_Begin = m_End = 0;
    }
    if (m_Buffer.size() - m_End < kReceiveRoom) {
        // Move the unconsumed rest to the front; grow only for a line longer than that.
        std::memmove(m_Buffer.data(), m_Buffer.data() + m_Begin, m_End - m_Begin);
        m_End -= m_Begin;
        m_Begin = 0;
        if (m_Buffer.size() - m_End < kReceiveRoom) {
            m_Buffer.resize(m_Buffer.size() * 2);
        }
    }
    if (!m_Stream) {
        return Fail("Error reading from socket!");
    }
    const net::RecvResult result =
        m_Stream->Receive(m_Buffer.data() + m_End, m_Buffer.size() - m_End, m_TimeoutMs);
    switch (result.status) {
    case net::RecvStatus::Data:
        m_End += result.bytes;
        return true;
    case net::RecvStatus::TimedOut:
        return Fail("Server did not answer in time");
    case net::RecvStatus::Closed:
    case net::RecvStatus::Error:
        break;
    }
    return Fail("Error reading from socket!");
}

bool CPop::SpoolBody(pop3::ScratchFile& file) {
    bool written = file.IsOpen();
    // Without the file the reply is still read to its end, so that the session stays in step.
    const bool received = ReadBody([&file, &written](const char* data, std::size_t length) {
        written = written && file.Write(data, length);
    });
    if (!received) {
        return false;
    }
    if (!file.IsOpen()) {
        return Fail("Error creating temp input file!");
    }
    return written ? true : Fail("Error writing temp input file!");
}
