#include "pop3/pop.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "net/tcp_socket.h"
#include "mime/header.h"
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

// What a reply may hold. A capability list is a few hundred bytes. A listing line is a
// number, a blank and a size or a unique id of at most 70 characters (RFC 1939), so 100
// bytes a counted message leaves room for blanks. A TOP holds headers and a few lines; the
// bytes that earn a reply its whole allowance are far more than any of those.
constexpr std::size_t kMaxCapaReply = 64 * 1024;
constexpr std::size_t kListingBytesPerMessage = 100;
constexpr std::size_t kListingSlack = 4096;
constexpr std::size_t kMaxTopReply =
    static_cast<std::size_t>(kMaxAllowanceMs / 1000 * CPop::kAllowanceBytesPerSecond);
constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

// The whole session's deadline grows by this share of its base limit for every status line
// and for every 64 KiB received (see SessionDeadline()).
constexpr std::uint64_t kRepliesPerBase = 480;
constexpr std::uint64_t kChunksPerBase = 120;
constexpr std::uint64_t kChunkBytes = 64 * 1024;

constexpr char kTooMuch[] = "The server sent more than expected";
constexpr char kNotUnderstood[] = "The server's reply was not understood";
constexpr char kLate[] = "Server did not answer in time";

constexpr char kTerminator[] = "\r\n.\r\n";
constexpr std::size_t kTerminatorLength = sizeof kTerminator - 1;

bool HoldsLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
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

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A count or size as RFC 1939 writes them: decimal digits and nothing else.
bool ParseNumber(std::string_view text, std::int64_t& value) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != text.npos) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
    }
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

bool CPop::BreakOutOfStep(const char* text) {
    const bool first = !m_Broken;
    Break(text);
    m_OutOfStep = m_OutOfStep || first;
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
    m_SessionStart = Clock::now();
    m_SessionBytes = m_SessionReplies = 0;
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
    socket->SetCancelSignal(m_Cancel);
    if (!socket->Connect(host, port, SendLimitMs())) {
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
    const bool ok = tls->Handshake(std::move(socket), host, m_TrustedCertificate, SendLimitMs());
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
    bool ok = false;
    if (!SendCommand("STLS\r\n") || !ReadStatusLine(status, ok)) {
        return false;
    }
    // Bytes after the "+OK" came in plain text: taking them into the secure session would
    // let anyone on the way write its first reply.
    if (!ok || m_Begin != m_End) {
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
    bool ok = false;
    if (!SendCommand("CAPA\r\n") || !ReadStatusLine(status, ok)) {
        return false;
    }
    if (!ok) {
        m_UidlSupport = Support::Unknown; // a server from before CAPA may still know UIDL
        return false;
    }
    bool pipelining = false, stls = false;
    Support uidl = Support::No;
    // Taken only from a whole reply: one cut short may not decide how the session goes on.
    if (!ReadBodyLines(kMaxCapaReply, [&](std::string_view clean) {
            const std::string_view name = FirstWord(clean);
            if (mime::EqualsNoCase(name, "PIPELINING")) {
                pipelining = true;
            } else if (mime::EqualsNoCase(name, "UIDL")) {
                uidl = Support::Yes;
            } else if (mime::EqualsNoCase(name, "STLS")) {
                stls = true;
            }
            return true;
        })) {
        return false;
    }
    m_Pipelining = pipelining;
    m_Stls = stls;
    m_UidlSupport = uidl;
    return true;
}

CPop::Sink CPop::SplitLines(std::string& partial, const LineHandler& handler) {
    // partial holds a line whose LF has not come yet; the reply's limit bounds it.
    return [&partial, &handler](const char* data, std::size_t length) {
        std::string_view chunk(data, length);
        for (std::size_t lf; (lf = chunk.find('\n')) != std::string_view::npos;) {
            partial.append(chunk.data(), lf);
            if (!handler(pop3::CleanView(partial))) {
                return false;
            }
            partial.clear();
            chunk.remove_prefix(lf + 1);
        }
        partial.append(chunk.data(), chunk.size());
        return true;
    };
}

bool CPop::ReadBodyLines(std::size_t limit, const LineHandler& handler) {
    std::string partial;
    return ReadBody(SplitLines(partial, handler), limit);
}

std::size_t CPop::ListingLimit() const {
    const auto counted = static_cast<std::uint64_t>(m_Counted ? m_MessageCount : 0);
    const std::uint64_t limit = counted * kListingBytesPerMessage + kListingSlack;
    return static_cast<std::size_t>(std::min<std::uint64_t>(limit, kUnlimited));
}

bool CPop::StoreUid(int message, std::string_view uid) {
    // Numbers above the count, or out of order, cannot be this mailbox's listing.
    if ((m_Counted && message > m_MessageCount) ||
        (!m_Uids.empty() && message <= m_Uids.back().message) ||
        m_UidText.size() + uid.size() > UINT32_MAX) {
        return false;
    }
    m_UidText.insert(m_UidText.end(), uid.begin(), uid.end());
    m_Uids.push_back({message, static_cast<std::uint32_t>(m_UidText.size())});
    return true;
}

bool CPop::Uidl() {
    m_Uids.clear();
    m_UidText.clear();
    std::string status;
    if (!SendCommand("UIDL\r\n") || !ReadStatus(ReplyKind::Uidl, status)) {
        return false;
    }
    return ReadBodyLines(ListingLimit(), [this](std::string_view clean) {
        std::string_view uid;
        const int message = pop3::ReadInt(FirstWord(clean, &uid));
        return message < 1 || uid.empty() || StoreUid(message, FirstWord(uid));
    });
}

bool CPop::Uidl(int message) {
    m_Uids.clear();
    m_UidText.clear();
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
        StoreUid(message, FirstWord(uid));
    }
    return true;
}

std::string CPop::GetUid(int message) const {
    const auto found =
        std::lower_bound(m_Uids.begin(), m_Uids.end(), message,
                         [](const UidEntry& entry, int number) { return entry.message < number; });
    if (found == m_Uids.end() || found->message != message) {
        return std::string();
    }
    const std::uint32_t start = found == m_Uids.begin() ? 0 : std::prev(found)->end;
    return std::string(m_UidText.begin() + start, m_UidText.begin() + found->end);
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
    if (out.empty()) {
        return true;
    }
    const int limit = SendLimitMs();
    if (limit <= 0) {
        return Break(kLate);
    }
    return m_Stream->SendAll(out.data(), out.size(), limit) || Break("Error writing to socket!");
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

CPop::Clock::time_point CPop::SessionDeadline() const {
    // The session's own limit, 2 minutes by default, grows by a 480th of itself (250 ms) for
    // every status line and by a 120th (1 s) for every 64 KiB received. A mailbox that takes
    // long takes long because it is large, and a large one sends much: 5000 messages listed
    // one by one over a 50 ms round trip take about 260 s and raise the deadline past
    // 1300 s; a 30 MB message at 1 Mbit/s takes 240 s and raises it to about 580 s. A server
    // that answers every reply 25 s late earns 1 % of what it spends, and one that trickles
    // 10 KiB a second 16 %; both are cut off within about 2.5 minutes, whatever count they
    // claimed.
    const auto base = static_cast<std::uint64_t>(std::max(m_SessionLimitMs, 0));
    const std::uint64_t earned = base * m_SessionReplies / kRepliesPerBase +
                                 base * m_SessionBytes / kChunkBytes / kChunksPerBase;
    return m_SessionStart + std::chrono::milliseconds(base + earned);
}

int CPop::SendLimitMs() const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(SessionDeadline() - Clock::now())
            .count();
    return static_cast<int>(std::max<long long>(0, std::min<long long>(left, m_TimeoutMs)));
}

bool CPop::Stat() {
    std::string status;
    if (!SendCommand("STAT\r\n") || !ReadStatus(ReplyKind::Stat, status)) {
        return false;
    }
    return ParseStat(status) || BreakOutOfStep(kNotUnderstood);
}

bool CPop::ParseStat(const std::string& status) {
    // "+OK count octets": a count that is missing, negative or no number would be believed as
    // a number of messages, so it ends the session. The size, only informative, may be
    // missing and then stays as it was.
    std::string_view rest = std::string_view(status).substr(3);
    rest.remove_suffix(2); // CR LF
    const auto separator = [](char c) { return c == ' ' || c == '\t'; };
    const auto skip = [&] {
        const std::size_t from = rest.find_first_not_of(" \t");
        rest.remove_prefix(std::min(from, rest.size()));
    };
    const auto word = [&] {
        std::size_t end = 0;
        while (end < rest.size() && !separator(rest[end])) {
            ++end;
        }
        const std::string_view found = rest.substr(0, end);
        rest.remove_prefix(end);
        return found;
    };
    if (rest.empty() || !separator(rest.front())) {
        return false;
    }
    skip();
    std::int64_t count = 0;
    if (!ParseNumber(word(), count) || count > INT_MAX) {
        return false;
    }
    skip();
    std::int64_t total = 0;
    if (ParseNumber(word(), total)) {
        m_TotalSize = total;
    }
    m_MessageCount = static_cast<int>(count);
    // After a deletion the count no longer tells the highest message number.
    m_Counted = m_Deleted == 0;
    return true;
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
    // Parsed as it arrives, so that the listing is never held whole.
    const LineHandler parse = [this](std::string_view clean) { return ParseListLine(clean); };
    if (!ReadStatus(ReplyKind::List, status) || !SpoolBody(file, ListingLimit(), parse)) {
        return false;
    }
    // Every message not deleted has its line: one missing would give another's size to it,
    // or leave rows to be filled from replies nobody listed.
    const auto listed = static_cast<std::size_t>(std::max(m_MessageCount - m_Deleted, 0));
    return !m_Counted || m_Sizes.size() == listed || BreakOutOfStep(kNotUnderstood);
}

bool CPop::ParseListLine(std::string_view clean) {
    const std::size_t blank = clean.find(' ');
    if (blank == std::string_view::npos) {
        return true; // the closing "." line, or anything that is no listing
    }
    const int message = pop3::ReadInt(clean.substr(0, blank));
    if (message < 1) {
        return true;
    }
    // Numbers above the count, or out of order, cannot be this mailbox's listing.
    if ((m_Counted && message > m_MessageCount) ||
        (!m_Sizes.empty() && message <= m_Sizes.back().first)) {
        return false;
    }
    // The digits that begin the size, as atoi would take them, but 64-bit.
    std::string_view size = clean.substr(blank + 1);
    size.remove_prefix(std::min(size.find_first_not_of(' '), size.size()));
    std::int64_t octets = 0;
    ParseNumber(size.substr(0, size.find_first_not_of("0123456789")), octets);
    m_Sizes.emplace_back(message, octets);
    return true;
}

std::int64_t CPop::GetMessageSize(int message) const {
    const auto found = std::lower_bound(
        m_Sizes.begin(), m_Sizes.end(), message,
        [](const std::pair<int, std::int64_t>& entry, int number) { return entry.first < number; });
    return found == m_Sizes.end() || found->first != message ? 0 : found->second;
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
    if (!ReadStatus(ReplyKind::Top, status) || !SpoolBody(file, kMaxTopReply)) {
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
    if (!ReadBody(
            [&text](const char* data, std::size_t length) {
                text.append(data, length);
                return true;
            },
            kUnlimited)) {
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
        !ReadBody(
            [&out](const char* data, std::size_t length) {
                out.write(data, static_cast<std::streamsize>(length));
                return true;
            },
            kUnlimited)) {
        return false;
    }
    out.close();
    return out.fail() ? Fail("Error writing output file") : true;
}

bool CPop::Dele(int message) {
    if (!Command("DELE " + std::to_string(message) + "\r\n", ReplyKind::Dele)) {
        return false;
    }
    ++m_Deleted;
    return true;
}

bool CPop::Noop() {
    return Command("NOOP\r\n", ReplyKind::Noop);
}

bool CPop::Rset() {
    if (!Command("RSET\r\n", ReplyKind::Rset)) {
        return false;
    }
    m_Deleted = 0;
    return true;
}

bool CPop::Quit() {
    if (!Command("QUIT\r\n", ReplyKind::Quit)) {
        return false; // the connection stays until the object goes
    }
    if (m_Begin != m_End) {
        // More came than was asked for: some reply before was taken for another.
        return BreakOutOfStep(kNotUnderstood);
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
    if (m_Begin != m_End) {
        // Bytes nobody asked for: a reply before ended early, or the server runs ahead.
        return BreakOutOfStep(kNotUnderstood);
    }
    std::string out = line;
    AppendPlanned(out);
    const int limit = SendLimitMs();
    if (m_Stream && limit <= 0) {
        return Break(kLate);
    }
    if (!m_Stream || !m_Stream->SendAll(out.data(), out.size(), limit)) {
        return Break("Error writing to socket!");
    }
    BeginExchange();
    return true;
}

bool CPop::Command(const std::string& line, ReplyKind kind) {
    std::string status;
    return SendCommand(line) && ReadStatus(kind, status);
}

bool CPop::ReadStatusLine(std::string& status, bool& ok) {
    if (!ReadLine(status)) {
        return false;
    }
    ++m_SessionReplies;
    // Upper case, as RFC 1939 writes them. Anything else is a line of some other reply, so
    // the session is out of step and nothing read from now on can be trusted.
    ok = StartsWith(status, "+OK");
    return ok || StartsWith(status, "-ERR") || BreakOutOfStep(kNotUnderstood);
}

bool CPop::ReadStatus(ReplyKind kind, std::string& status) {
    bool ok = false;
    if (!ReadStatusLine(status, ok)) {
        return false;
    }
    if (ok) {
        return true;
    }
    m_Refusal = pop3::ReadErrReply(status);
    m_RefusedLogin = kind == ReplyKind::User || kind == ReplyKind::Pass;
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

bool CPop::ReadBody(const Sink& sink, std::size_t limit) {
    m_MultiLine = true;
    // The status line's CR LF precedes the body, so the body may open with the "." line.
    bool atStart = true;
    std::size_t taken = 0;
    const auto take = [&](const char* data, std::size_t length) {
        taken += length;
        if (taken > limit) {
            return BreakOutOfStep(kTooMuch);
        }
        return sink(data, length) || BreakOutOfStep(kNotUnderstood);
    };
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
            m_Begin += end; // anything after the reply is the next one's
            return take(pending.data(), end);
        }
        // Hand on all but what may be the start of a terminator that the next read completes.
        if (pending.size() >= kTerminatorLength) {
            const std::size_t done = pending.size() - (kTerminatorLength - 1);
            m_Begin += done;
            atStart = false;
            if (!take(pending.data(), done)) {
                return false;
            }
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
    // Silence never lasts longer than the limit, whatever the reply has earned.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::min(ReplyDeadline(), SessionDeadline()) - Clock::now())
                          .count();
    if (left <= 0) {
        return Break(kLate);
    }
    const net::RecvResult result =
        m_Stream->Receive(m_Buffer.data() + m_End, m_Buffer.size() - m_End,
                          static_cast<int>(std::min<long long>(left, m_TimeoutMs)));
    switch (result.status) {
    case net::RecvStatus::Data:
        m_End += result.bytes;
        m_ExchangeBytes += result.bytes;
        m_SessionBytes += result.bytes;
        return true;
    case net::RecvStatus::TimedOut:
        return Break(kLate);
    case net::RecvStatus::Closed:
    case net::RecvStatus::Error:
        break;
    }
    return Break("Error reading from socket!");
}

bool CPop::SpoolBody(pop3::ScratchFile& file, std::size_t limit, const LineHandler& lines) {
    bool written = file.IsOpen();
    std::string partial;
    const Sink split = lines ? SplitLines(partial, lines) : Sink();
    // Without the file the reply is still read to its end, so that the session stays in step.
    const bool received = ReadBody(
        [&](const char* data, std::size_t length) {
            written = written && file.Write(data, length);
            return !split || split(data, length);
        },
        limit);
    if (!received) {
        return false;
    }
    if (!file.IsOpen()) {
        return Fail("Error creating temp input file!");
    }
    return written ? true : Fail("Error writing temp input file!");
}
