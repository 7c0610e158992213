#include "pop3/pop.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>
#include <mutex>

#include "net/tls_stream.h"
#include "pop3/pop_text.h"
#include "pop3/reply_parsers.h"
#include "pop3/scratch_file.h"
#include "pop3/scratch_folder.h"
#include "pop3/top_reply.h"

namespace {

// A command line with its CR LF must fit what servers are required to accept.
constexpr std::size_t kMaxCommandLine = 511;
constexpr char kNoStls[] = "The server does not offer a secure connection (STLS)";
// Characters of a summary, whatever the number of lines asked for.
constexpr std::size_t kSummaryLimit = 1024;
// After QUIT's "+OK" the server closes at once; a second is plenty to hear of it.
constexpr int kQuitCloseWaitMs = 1000;

// What a reply may hold. A capability list is a few hundred bytes. A listing line is a
// number, a blank and a size or a unique id of at most 70 characters (RFC 1939), so 100
// bytes a counted message leaves room for blanks. A TOP holds headers and a few lines; the
// bytes that earn a reply its whole allowance are far more than any of those.
constexpr std::size_t kMaxCapaReply = 64 * 1024;
constexpr std::size_t kListingBytesPerMessage = 100;
constexpr std::size_t kListingSlack = 4096;
constexpr std::size_t kMaxTopReply = static_cast<std::size_t>(
    pop3::ReplyReader::kMaxAllowanceMs / 1000 * pop3::ReplyReader::kAllowanceBytesPerSecond);
constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

constexpr char kNotUnderstood[] = "The server's reply was not understood";
constexpr char kLate[] = "Server did not answer in time";
constexpr char kNotWritten[] = "Error writing to socket!";
constexpr char kNoEncryptedLogin[] = "This server does not offer an encrypted password login.";
// RFC 5034: an AUTH command with its initial response may be at most 255 octets.
constexpr std::size_t kMaxAuthLine = 255;

bool HoldsLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
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

} // namespace

CPop::CPop(pop3::ReplyReader::Now now) : m_Reader(std::move(now)) {
    m_Reader.SetBeforeWait([this] { return SendAhead(); });
}

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
    m_Reader.Close();
    m_Plan.Drop();
    return false;
}

bool CPop::BreakOutOfStep(const char* text) {
    const bool first = !m_Broken;
    Break(text);
    m_OutOfStep = m_OutOfStep || first;
    return false;
}

bool CPop::ReaderFailed() {
    if (m_Broken) {
        return false; // broken on the way (a send ahead): that text stands
    }
    return m_Reader.OutOfStep() ? BreakOutOfStep(m_Reader.ErrorText())
                                : Break(m_Reader.ErrorText());
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
    m_SecureError.clear();
    m_Reader.Start(m_TimeoutMs, m_SessionLimitMs);
    auto stream = port > 65535 ? nullptr : OpenStream(host, static_cast<unsigned short>(port));
    if (!stream) {
        return Break(m_SecureError.empty() ? "Server cannot be connected" : m_SecureError.c_str());
    }
    m_Reader.SetStream(std::move(stream));
    m_Reader.BeginExchange();
    std::string greeting;
    if (!ReadStatus(ReplyKind::Greeting, greeting)) {
        return false;
    }
    m_ApopTimestamp = pop3::ApopTimestamp(pop3::CleanView(greeting));
    // The login method depends on the capabilities; STLS asks for them itself, once secure.
    if (m_Security == pop3::Security::StartTls) {
        if (!StartTls(host)) {
            return false;
        }
    } else if (!Capa() && m_Broken) {
        return false;
    }
    return Login(user, password);
}

bool CPop::Login(const std::string& user, const std::string& password) {
    if (m_LoginMethod == pop3::LoginMethod::Encrypted) {
        if (m_CapaListed && m_Offered.saslCramMd5) {
            m_LoginUsed = "AUTH CRAM-MD5";
            return Authenticate(
                "CRAM-MD5", "", [&](std::string_view challenge, std::string& response) {
                    return pop3::CramMd5Response(challenge, user, password, response);
                });
        }
        if (!m_ApopTimestamp.empty()) {
            m_LoginUsed = "APOP";
            return Command("APOP " + user + " " + pop3::ApopDigest(m_ApopTimestamp, password) +
                               "\r\n",
                           ReplyKind::Pass);
        }
        // Nothing of the login has gone out: the password stays where it is.
        m_LoginUnavailable = true;
        return Fail(kNoEncryptedLogin);
    }
    if (m_CapaListed && m_Offered.saslPlain && !m_Offered.user) {
        m_LoginUsed = "AUTH PLAIN";
        const std::string response = pop3::SaslPlainResponse(user, password);
        return Authenticate("PLAIN", response, [&](std::string_view, std::string& answer) {
            answer = response;
            return true;
        });
    }
    m_LoginUsed = "USER";
    return Command("USER " + user + "\r\n", ReplyKind::User) &&
           Command("PASS " + password + "\r\n", ReplyKind::Pass);
}

bool CPop::Authenticate(const std::string& mechanism, const std::string& initial,
                        const std::function<bool(std::string_view, std::string&)>& respond) {
    const std::string withInitial = "AUTH " + mechanism + " " + initial + "\r\n";
    if (!initial.empty() && withInitial.size() <= kMaxAuthLine) {
        return Command(withInitial, ReplyKind::Pass);
    }
    if (!SendCommand("AUTH " + mechanism + "\r\n")) {
        return false;
    }
    // "+ challenge" (base64, perhaps empty), or the refusal.
    std::string line;
    if (!m_Reader.ReadStatusLine(line)) {
        return ReaderFailed();
    }
    if (StartsWith(line, "-ERR")) {
        return Refused(ReplyKind::Pass, line);
    }
    if (!StartsWith(line, "+ ") && !StartsWith(line, "+\r")) {
        return BreakOutOfStep(kNotUnderstood);
    }
    const std::string_view challenge = pop3::CleanView(std::string_view(line).substr(1));
    std::string response;
    if (!respond(challenge, response)) {
        return BreakOutOfStep(kNotUnderstood);
    }
    return Command(response + "\r\n", ReplyKind::Pass);
}

std::unique_ptr<net::Stream> CPop::OpenStream(const std::string& host, unsigned short port) {
    auto socket = std::make_unique<net::TcpSocket>();
    socket->SetCancelSignal(m_Cancel);
    if (!socket->Connect(host, port, m_Reader.SendLimitMs())) {
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
    const bool ok =
        tls->Handshake(std::move(socket), host, m_TrustedCertificate, m_Reader.SendLimitMs());
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
    if (!ok || m_Reader.HasPending()) {
        return Break(kNoStls);
    }
    std::unique_ptr<net::Stream> plain = m_Reader.TakeStream();
    auto& socket = static_cast<net::TcpSocket&>(*plain); // OpenStream made it
    std::unique_ptr<net::Stream> secure = Secure(std::move(socket), host);
    if (!secure) {
        return Break(m_SecureError.c_str());
    }
    m_Reader.SetStream(std::move(secure));
    Capa();
    return !m_Broken;
}

bool CPop::Capa() {
    m_Pipelining = false;
    m_Stls = false;
    m_UidlSupport = Support::No;
    m_CapaListed = false;
    m_Offered = pop3::Capabilities();
    std::string status;
    bool ok = false;
    if (!SendCommand("CAPA\r\n") || !ReadStatusLine(status, ok)) {
        return false;
    }
    if (!ok) {
        m_UidlSupport = Support::Unknown; // a server from before CAPA may still know UIDL
        return false;
    }
    pop3::Capabilities offered;
    // Taken only from a whole reply: one cut short may not decide how the session goes on.
    if (!ReadBodyLines(kMaxCapaReply, [&offered](std::string_view clean) {
            pop3::ReadCapability(clean, offered);
            return true;
        })) {
        return false;
    }
    m_Pipelining = offered.pipelining;
    m_Stls = offered.stls;
    m_UidlSupport = offered.uidl ? Support::Yes : Support::No;
    m_CapaListed = true;
    m_Offered = offered;
    // The list after the login is the one that counts; before it, the server may not know
    // yet who logs in, and says so with "USER" after the value.
    m_LoginDelay = offered.loginDelay;
    return true;
}

bool CPop::ReadBodyLines(std::size_t limit, const pop3::ReplyReader::LineHandler& handler) {
    return m_Reader.ReadBodyLines(limit, handler) || ReaderFailed();
}

std::size_t CPop::ListingLimit() const {
    const auto counted = static_cast<std::uint64_t>(m_Counted ? m_MessageCount : 0);
    const std::uint64_t limit = counted * kListingBytesPerMessage + kListingSlack;
    return static_cast<std::size_t>(std::min<std::uint64_t>(limit, kUnlimited));
}

bool CPop::StoreUid(int message, std::string_view uid) {
    // An id RFC 1939 does not allow cannot be told from some other reply's line.
    if (!pop3::IsValidUid(uid)) {
        return BreakOutOfStep(kNotUnderstood);
    }
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
    if (!ReadBodyLines(ListingLimit(), [this](std::string_view clean) {
            const pop3::UidLine line = pop3::ParseUidLine(clean);
            return !line.isEntry || StoreUid(line.message, line.uid);
        })) {
        return false;
    }
    // Every message not deleted has its id: a gap would leave a row compared with nothing.
    const auto listed = static_cast<std::size_t>(std::max(m_MessageCount - m_Deleted, 0));
    return !m_Counted || m_Uids.size() == listed || BreakOutOfStep(kNotUnderstood);
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
    std::string_view rest;
    pop3::FirstWord(pop3::CleanView(status), &rest);
    const pop3::UidLine line = pop3::ParseUidLine(rest);
    if (line.isEntry && line.message == message) {
        StoreUid(message, line.uid);
    }
    return !m_Broken;
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

bool CPop::PlanListing(int count, int lines, bool withList) {
    return m_Pipelining && !m_Broken && m_Plan.Start(count, lines, withList);
}

bool CPop::SendAhead() {
    std::string out;
    m_Plan.AppendAhead(out);
    if (out.empty()) {
        return true;
    }
    const int limit = m_Reader.SendLimitMs();
    if (limit <= 0) {
        return Break(kLate);
    }
    return m_Reader.Stream()->SendAll(out.data(), out.size(), limit) || Break(kNotWritten);
}

bool CPop::Stat() {
    std::string status;
    if (!SendCommand("STAT\r\n") || !ReadStatus(ReplyKind::Stat, status)) {
        return false;
    }
    pop3::StatReply reply;
    if (!pop3::ParseStat(status, reply)) {
        return BreakOutOfStep(kNotUnderstood);
    }
    m_MessageCount = reply.count;
    if (reply.hasTotal) {
        m_TotalSize = reply.total;
    }
    // After a deletion the count no longer tells the highest message number.
    m_Counted = m_Deleted == 0;
    return true;
}

bool CPop::List() {
    m_Sizes.clear();
    const pop3::ListingPlan::Command planned = {pop3::ListingPlan::Command::List, 0, 0};
    std::string status;
    if (!SendCommand("LIST\r\n", &planned) || !ReadStatus(ReplyKind::List, status)) {
        return false;
    }
    // Parsed as it arrives, so that the listing is never held whole.
    if (!ReadBodyLines(ListingLimit(), [this](std::string_view clean) {
            const pop3::ListingLine line = pop3::ParseListLine(clean);
            if (!line.isEntry) {
                return true; // the closing "." line, or anything that is no listing
            }
            // Numbers above the count, or out of order, cannot be this mailbox's listing.
            if ((m_Counted && line.message > m_MessageCount) ||
                (!m_Sizes.empty() && line.message <= m_Sizes.back().first)) {
                return false;
            }
            m_Sizes.emplace_back(line.message, line.octets);
            return true;
        })) {
        return false;
    }
    // Every message not deleted has its line: one missing would give another's size to it,
    // or leave rows to be filled from replies nobody listed.
    const auto listed = static_cast<std::size_t>(std::max(m_MessageCount - m_Deleted, 0));
    return !m_Counted || m_Sizes.size() == listed || BreakOutOfStep(kNotUnderstood);
}

bool CPop::List(int message) {
    m_Sizes.clear();
    std::string status;
    if (!SendCommand("LIST " + std::to_string(message) + "\r\n") ||
        !ReadStatus(ReplyKind::List, status)) {
        return false;
    }
    // "+OK n size"
    std::string_view rest;
    pop3::FirstWord(pop3::CleanView(status), &rest);
    int listed = 0;
    std::int64_t octets = 0;
    if (!pop3::ParseScanListing(rest, listed, octets) || listed != message) {
        return BreakOutOfStep(kNotUnderstood);
    }
    m_Sizes.emplace_back(listed, octets);
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
    m_HeaderDigest = 0;

    std::lock_guard<std::mutex> lock(pop3::ScratchLock());
    const pop3::ListingPlan::Command planned = {pop3::ListingPlan::Command::Top, message, lines};
    if (!SendCommand("TOP " + std::to_string(message) + " " + std::to_string(lines) + "\r\n",
                     &planned)) {
        return false;
    }
    // Made while the server works on the command, where it costs no time.
    pop3::ScratchFile file = CreateScratch("temptop.pop");
    std::string status;
    if (!ReadStatus(ReplyKind::Top, status)) {
        return false;
    }
    bool written = file.IsOpen();
    // Without the file the reply is still read to its end, so that the session stays in step.
    if (!m_Reader.ReadBody(
            [&](const char* data, std::size_t length) {
                written = written && file.Write(data, length);
                return true;
            },
            kMaxTopReply)) {
        return ReaderFailed();
    }
    if (!file.IsOpen()) {
        return Fail("Error creating temp input file!");
    }
    std::string text;
    if (!written) {
        return Fail("Error writing temp input file!");
    }
    if (!file.ReadBack(text)) {
        return Fail("cant open message file");
    }
    pop3::TopReply reply = pop3::ReadTopReply(text, kSummaryLimit);
    m_To = std::move(reply.to);
    m_From = std::move(reply.from);
    m_Subject = std::move(reply.subject);
    m_Date = std::move(reply.date);
    m_Summary = std::move(reply.summary);
    m_HeaderDigest = reply.headerDigest;
    return !m_To.empty() && !m_From.empty() && !m_Date.empty();
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
    if (!m_Reader.AwaitClose(kQuitCloseWaitMs)) {
        return ReaderFailed();
    }
    m_Reader.Close();
    return true;
}

bool CPop::SendCommand(const std::string& line, const pop3::ListingPlan::Command* planned) {
    if (m_Broken) {
        return false;
    }
    if (line.size() > kMaxCommandLine) {
        return Fail("Command too long");
    }
    using Claim = pop3::ListingPlan::Claim;
    const Claim claim = m_Plan.Take(
        planned != nullptr ? *planned
                           : pop3::ListingPlan::Command{pop3::ListingPlan::Command::Other, 0, 0});
    if (claim == Claim::OnWire) {
        m_Reader.BeginExchange();
        // Refill in batches, long before the server could run out of work while replies
        // wait in our buffer.
        return !m_Plan.WantsRefill() || SendAhead();
    }
    if (claim == Claim::OutOfTurn) {
        // Replies to the commands sent ahead come first; this one's could not be told.
        return Break("Commands out of order");
    }
    if (m_Reader.HasPending()) {
        // Bytes nobody asked for: a reply before ended early, or the server runs ahead.
        return BreakOutOfStep(kNotUnderstood);
    }
    std::string out = line;
    m_Plan.AppendAhead(out);
    const int limit = m_Reader.SendLimitMs();
    net::Stream* stream = m_Reader.Stream();
    if (stream != nullptr && limit <= 0) {
        return Break(kLate);
    }
    if (stream == nullptr || !stream->SendAll(out.data(), out.size(), limit)) {
        return Break(kNotWritten);
    }
    m_Reader.BeginExchange();
    return true;
}

bool CPop::Command(const std::string& line, ReplyKind kind) {
    std::string status;
    return SendCommand(line) && ReadStatus(kind, status);
}

bool CPop::ReadStatusLine(std::string& status, bool& ok) {
    if (!m_Reader.ReadStatusLine(status)) {
        return ReaderFailed();
    }
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
    return ok || Refused(kind, status);
}

bool CPop::Refused(ReplyKind kind, const std::string& status) {
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
    case ReplyKind::Top:
        return Fail("Error occured during TOP");
    case ReplyKind::Uidl:
        if (m_UidlSupport == Support::Unknown) {
            m_UidlSupport = Support::No;
        }
        return Fail("Error occured during UIDL");
    }
    return false;
}
