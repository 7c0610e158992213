#include "pop3/pop.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <fstream>
#include <mutex>

#include "net/tcp_socket.h"
#include "net/tls_stream.h"
#include "pop3/pop_text.h"
#include "pop3/scratch_file.h"
#include "pop3/scratch_folder.h"
#include "pop3/top_reply.h"

namespace {

// A command line with its CR LF must fit what servers are required to accept.
constexpr std::size_t kMaxCommandLine = 511;
constexpr char kNoStls[] = "The server does not offer a secure connection (STLS)";
// Characters of a summary, whatever the number of lines asked for.
constexpr std::size_t kSummaryLimit = 1024;
// Status lines are at most 512 characters by the protocol; far beyond that a server that
// never ends its line could only make the client hoard memory.
constexpr std::size_t kMaxReplyLine = 65536;
// A whole LIST of a large mailbox fits in a few receives; each receive gets at least
// kReceiveRoom bytes of space.
constexpr std::size_t kReceiveBuffer = 65536;
constexpr std::size_t kReceiveRoom = 16384;

// Commands sent ahead of their replies, in bytes. Far below the socket buffers of either
// system, so a send of them never waits for the server to read, and a server that answers
// while it reads can never be blocked by us.
constexpr std::size_t kAheadWindow = 4096;

constexpr long long kMaxAllowanceMs = 10 * 60 * 1000;

constexpr char kTerminator[] = "\r\n.\r\n";
constexpr std::size_t kTerminatorLength = sizeof kTerminator - 1;

bool HoldsLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The first word of a line and the rest after its blanks.
std::string_view FirstWord(std::string_view text, std::string_view* rest = nullptr) {
    const std::size_t end = std::min(text.find(' '), text.size());
    if (rest != nullptr) {
        const std::size_t next = text.find_first_not_of(' ', end);
        *rest = next == std::string_view::npos ? std::string_view() : text.substr(next);
    }
    return text.substr(0, end);
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

bool CPop::Break(const char* text) {
    if (m_Broken) {
        return false; // the first failure's text stands
    }
    m_Error = text;
    m_Broken = true;
    if (m_Stream) {
        m_Stream->Close();
        m_Stream.reset();
    }
    m_Begin = m_End = 0;
    m_PlanTotal = m_PlanRead = m_PlanSent = 0;
    m_AheadBytes = 0;
    return false;
}

bool CPop::Connect(const std::string& host, unsigned int port, const std::string& user,
                   const std::string& password) {
    if (m_Broken) {
        return false;
    }
    // Checked before the connection exists, so a bad name can never reach the server
    // and end a command early.
    if (HoldsLineBreakOrNul(user) || HoldsLineBreakOrNul(password)) {
        return Fail("Bad character in user name or password");
    }
    if (user.size() + 7 > kMaxCommandLine || password.size() + 7 > kMaxCommandLine) {
        return Fail("Command too long");
    }
    m_Begin = m_End = 0;
    m_SecureError.clear();
    m_Stream = port > 65535 ? nullptr : OpenStream(host, static_cast<unsigned short>(port));
    if (!m_Stream) {
        return Break(m_SecureError.empty() ? "Server cannot be connected" : m_SecureError.c_str());
    }
    BeginExchange();
    std::string greeting;
    return ReadStatus(ReplyKind::Greeting, greeting) &&
           (m_Security != pop3::Security::StartTls || StartTls(host)) &&
           Command("USER " + user + "\r\n", ReplyKind::User) &&
           Command("PASS " + password + "\r\n", ReplyKind::Pass);
}

std::unique_ptr<net::Stream> CPop::OpenStream(const std::string& host, unsigned short port) {
    auto socket = std::make_unique<net::TcpSocket>();
    if (!socket->Connect(host, port, m_TimeoutMs)) {
        return nullptr;
    }
    if (m_Security == pop3::Security::Tls) {
        return Secure(std::move(*socket), host);
    }
    return socket;
}

void CPop::SetSecurity(pop3::Security security, const std::string& trustedCertificate) {
    m_Security = security;
    m_TrustedCertificate = trustedCertificate;
}

std::unique_ptr<net::Stream> CPop::Secure(net::TcpSocket socket, const std::string& host) {
    auto tls = std::make_unique<net::TlsStream>();
    const bool ok = tls->Handshake(std::move(socket), host, m_TrustedCertificate, m_TimeoutMs);
    m_ServerFingerprint = tls->Fingerprint();
    m_CertificateRejected = tls->CertificateRejected();
    if (!ok) {
        m_SecureError = tls->ErrorText();
        return nullptr;
    }
    m_Secure = true;
    return tls;
}

bool CPop::StartTls(const std::string& host) {
    // RFC 2595: STLS only when offered, and the capabilities asked again once secure, since
    // whatever the server said in plain text may have been forged on the way.
    Capa();
    if (m_Broken) {
        return false;
    }
    if (!m_Stls) {
        return Break(kNoStls);
    }
    std::string status;
    if (!SendCommand("STLS\r\n") || !ReadLine(status)) {
        return false;
    }
    // Bytes after the "+OK" came in plain text: taking them into the secure session would
    // let anyone on the way write its first reply.
    if (pop3::BeginsWithErr(status) || m_Begin != m_End) {
        return Break(kNoStls);
    }
    auto& plain = static_cast<net::TcpSocket&>(*m_Stream); // OpenStream made it
    m_Stream = Secure(std::move(plain), host);
    if (!m_Stream) {
        return Break(m_SecureError.c_str());
    }
    Capa();
    return !m_Broken;
}

bool CPop::Connect() {
    return Connect(m_Host, static_cast<unsigned int>(m_Port), m_User, m_Pass);
}

bool CPop::Capa() {
    m_Pipelining = false;
    m_Stls = false;
    m_UidlSupport = Support::No;
    std::string status;
    if (!SendCommand("CAPA\r\n") || !ReadLine(status)) {
        return false;
    }
    if (pop3::BeginsWithErr(status)) {
        m_UidlSupport = Support::Unknown; // a server from before CAPA may still know UIDL
        return false;
    }
    std::vector<std::string> lines;
    if (!ReadBodyLines(lines)) {
        return false;
    }
    for (const std::string& clean : lines) {
        const std::string_view name = FirstWord(clean);
        if (EqualsIgnoringCase(name, "PIPELINING")) {
            m_Pipelining = true;
        } else if (EqualsIgnoringCase(name, "UIDL")) {
            m_UidlSupport = Support::Yes;
        } else if (EqualsIgnoringCase(name, "STLS")) {
            m_Stls = true;
        }
    }
    return true;
}

bool CPop::ReadBodyLines(std::vector<std::string>& lines) {
    std::string text;
    if (!ReadBody([&text](const char* data, std::size_t length) { text.append(data, length); })) {
        return false;
    }
    std::string_view rest = text;
    std::string_view line;
    bool complete = false;
    while (NextLine(rest, line, complete)) {
        lines.push_back(pop3::CleanLine(line));
    }
    return true;
}

bool CPop::Uidl() {
    m_Uids.clear();
    std::string status;
    std::vector<std::string> lines;
    if (!SendCommand("UIDL\r\n") || !ReadStatus(ReplyKind::Uidl, status) || !ReadBodyLines(lines)) {
        return false;
    }
    for (const std::string& clean : lines) {
        std::string_view uid;
        const int message = pop3::ReadInt(FirstWord(clean, &uid));
        if (message >= 1 && !uid.empty()) {
            m_Uids[message] = std::string(FirstWord(uid));
        }
    }
    return true;
}

bool CPop::Uidl(int message) {
    m_Uids.erase(message);
    std::string status;
    if (!SendCommand("UIDL " + std::to_string(message) + "\r\n") ||
        !ReadStatus(ReplyKind::Uidl, status)) {
        return false;
    }
    // "+OK n uid"
    const std::string clean = pop3::CleanLine(status);
    std::string_view rest;
    FirstWord(clean, &rest);
    std::string_view uid;
    if (pop3::ReadInt(FirstWord(rest, &uid)) == message && !uid.empty()) {
        m_Uids[message] = std::string(FirstWord(uid));
    }
    return true;
}

std::string CPop::GetUid(int message) const {
    const auto found = m_Uids.find(message);
    return found == m_Uids.end() ? std::string() : found->second;
}

bool CPop::PlanListing(int count, int lines) {
    if (!m_Pipelining || m_Broken || count <= 0 || m_PlanRead < m_PlanTotal) {
        return false;
    }
    m_PlanTotal = static_cast<std::size_t>(count) + 1;
    m_PlanRead = m_PlanSent = 0;
    m_PlanLines = lines;
    m_AheadBytes = 0;
    return true;
}

std::string CPop::PlannedLine(std::size_t index) const {
    if (index == 0) {
        return "LIST\r\n";
    }
    return "TOP " + std::to_string(index) + " " + std::to_string(m_PlanLines) + "\r\n";
}

void CPop::AppendPlanned(std::string& out) {
    while (m_PlanSent < m_PlanTotal) {
        const std::string next = PlannedLine(m_PlanSent);
        if (m_AheadBytes + next.size() > kAheadWindow) {
            break;
        }
        out += next;
        m_AheadBytes += next.size();
        ++m_PlanSent;
    }
}

bool CPop::SendPlanned() {
    std::string out;
    AppendPlanned(out);
    if (!out.empty() && !m_Stream->SendAll(out.data(), out.size(), m_TimeoutMs)) {
        return Break("Error writing to socket!");
    }
    return true;
}

void CPop::BeginExchange() {
    m_ExchangeStart = Clock::now();
    m_ExchangeBytes = 0;
    m_MultiLine = false;
}

CPop::Clock::time_point CPop::ReplyDeadline() const {
    // A multi-line reply earns one second per 4 KiB it has delivered. Even a slow link of
    // 32 kbit/s earns time faster than it spends it, so a long RETR or listing completes;
    // the replies of a check are a few KiB, so their limit stays near the base. A server
    // that trickles a byte every few seconds earns a fraction of a millisecond per byte
    // and meets the base limit almost exactly. The cap keeps a server that streams an
    // endless reply from holding the session for ever.
    auto deadline = m_ExchangeStart + std::chrono::milliseconds(m_TimeoutMs);
    if (m_MultiLine) {
        const long long earned =
            static_cast<long long>(m_ExchangeBytes) * 1000 / kAllowanceBytesPerSecond;
        deadline += std::chrono::milliseconds(std::min(earned, kMaxAllowanceMs));
    }
    return deadline;
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
    pop3::TopReply reply = pop3::ReadTopReply(text, kSummaryLimit);
    m_To = std::move(reply.to);
    m_From = std::move(reply.from);
    m_Subject = std::move(reply.subject);
    m_Date = std::move(reply.date);
    m_Summary = std::move(reply.summary);
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
    if (m_Broken) {
        return false; // before the file is made, which would empty a file of that name
    }
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
    if (m_Broken) {
        return false;
    }
    if (line.size() > kMaxCommandLine) {
        return Fail("Command too long");
    }
    if (m_PlanRead < m_PlanTotal) {
        if (line == PlannedLine(m_PlanRead)) {
            ++m_PlanRead;
            if (m_PlanRead <= m_PlanSent) {
                m_AheadBytes -= line.size(); // already on the wire: its reply is next
                BeginExchange();
                // Refill in batches, long before the server could run out of work while
                // replies wait in our buffer.
                return m_AheadBytes > kAheadWindow / 2 || SendPlanned();
            }
            m_PlanSent = m_PlanRead;
        } else if (m_PlanSent > m_PlanRead) {
            // Replies to the commands sent ahead come first; this one's could not be told.
            return Break("Commands out of order");
        } else {
            m_PlanTotal = m_PlanRead = m_PlanSent = 0; // the plan was dropped before it began
        }
    }
    std::string out = line;
    AppendPlanned(out);
    if (!m_Stream || !m_Stream->SendAll(out.data(), out.size(), m_TimeoutMs)) {
        return Break("Error writing to socket!");
    }
    BeginExchange();
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
    case ReplyKind::Capa:
        return false; // refusing CAPA is no failure: the session goes on without it
    case ReplyKind::Uidl:
        if (m_UidlSupport == Support::Unknown) {
            m_UidlSupport = Support::No;
        }
        return Fail("Error occured during UIDL");
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
            return Break("Reply line too long");
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
    m_MultiLine = true;
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
    if (!m_Stream) {
        return Break("Error reading from socket!");
    }
    if (!SendPlanned()) {
        return false;
    }
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
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(ReplyDeadline() - Clock::now())
            .count();
    if (left <= 0) {
        return Break("Server did not answer in time");
    }
    const net::RecvResult result =
        m_Stream->Receive(m_Buffer.data() + m_End, m_Buffer.size() - m_End,
                          static_cast<int>(std::min<long long>(left, INT_MAX)));
    switch (result.status) {
    case net::RecvStatus::Data:
        m_End += result.bytes;
        m_ExchangeBytes += result.bytes;
        return true;
    case net::RecvStatus::TimedOut:
        return Break("Server did not answer in time");
    case net::RecvStatus::Closed:
    case net::RecvStatus::Error:
        break;
    }
    return Break("Error reading from socket!");
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
