#include "pop3/pop.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>
#include <mutex>

#include "pop3/pop_text.h"
#include "pop3/reply_parsers.h"
#include "pop3/scratch_file.h"
#include "pop3/scratch_folder.h"
#include "pop3/top_reply.h"

namespace {

// A command line with its CR LF must fit what servers are required to accept.
constexpr std::size_t kMaxCommandLine = 511;
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
    m_Cause = Cause::Other;
    return false;
}

bool CPop::Break(const char* text, Cause cause) {
    if (m_Broken) {
        return false; // the first failure's text stands
    }
    m_Error = text;
    m_Cause = cause;
    m_Broken = true;
    m_Reader.Close();
    m_Plan.Drop();
    m_Ahead.clear();
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
    if (m_Reader.OutOfStep()) {
        return BreakOutOfStep(m_Reader.ErrorText());
    }
    return Break(m_Reader.ErrorText(), m_Reader.TimedOut() ? Cause::Late : Cause::Other);
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

bool CPop::PlanListing(int count, int lines, bool withList, bool withQuit) {
    return m_Pipelining && !m_Broken && m_Plan.Start(count, lines, withList, withQuit);
}

bool CPop::SendAhead() {
    std::string out;
    m_Plan.AppendAhead(out);
    if (out.empty()) {
        return true;
    }
    const int limit = m_Reader.SendLimitMs();
    if (limit <= 0) {
        return Break(kLate, Cause::Late);
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
    const pop3::ListingPlan::Command planned = {pop3::ListingPlan::Command::Quit, 0, 0};
    std::string status;
    if (!SendCommand("QUIT\r\n", &planned) || !ReadStatus(ReplyKind::Quit, status)) {
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
    if (!m_Ahead.empty()) {
        if (m_Ahead.front().line == line) {
            m_Ahead.pop_front();
            m_Reader.BeginExchange();
            return true;
        }
        if (!DropAhead()) {
            return false;
        }
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
    return SendBytes(out);
}

bool CPop::SendBytes(const std::string& out) {
    const int limit = m_Reader.SendLimitMs();
    net::Stream* stream = m_Reader.Stream();
    if (stream != nullptr && limit <= 0) {
        return Break(kLate, Cause::Late);
    }
    if (stream == nullptr || !stream->SendAll(out.data(), out.size(), limit)) {
        return Break(kNotWritten);
    }
    m_Reader.BeginExchange();
    return true;
}

bool CPop::DropAhead() {
    while (!m_Ahead.empty()) {
        const Ahead::Body body = m_Ahead.front().body;
        m_Ahead.pop_front();
        m_Reader.BeginExchange();
        std::string status;
        bool ok = false;
        if (!ReadStatusLine(status, ok)) {
            return false;
        }
        const std::size_t limit = body == Ahead::Capa ? kMaxCapaReply : ListingLimit();
        if (ok && body != Ahead::None &&
            !ReadBodyLines(limit, [](std::string_view) { return true; })) {
            return false;
        }
    }
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
