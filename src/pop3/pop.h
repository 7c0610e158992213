#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/stream.h"
#include "net/tcp_socket.h"
#include "pop3/listing_plan.h"
#include "pop3/login_methods.h"
#include "pop3/reply_parsers.h"
#include "pop3/reply_reader.h"
#include "pop3/response_code.h"
#include "pop3/security.h"

// One POP3 session with one server over one TCP connection. Failures leave a text for
// GetErrorText(). Replies are framed and timed by a pop3::ReplyReader (see there for the
// time rules); a listing goes out ahead of its replies by a pop3::ListingPlan.
//
// A failure that can leave the session out of step with the server (a time limit, a failed
// send or receive, the end of the connection, an over-long line, a reply larger than its
// command can give, a reply that is no POP3 status line, a unique id RFC 1939 does not
// allow) breaks it: the connection is closed, and every later operation fails at once with
// that first failure's text.
class CPop {
public:
    static constexpr int kDefaultTimeoutMs = 30000;
    static constexpr int kDefaultSessionLimitMs = 120000;

    enum class Support { No, Yes, Unknown };

    // now: the clock of every time rule (tests pass their own).
    explicit CPop(pop3::ReplyReader::Now now = pop3::ReplyReader::Clock::now);
    virtual ~CPop();
    CPop(const CPop&) = delete;
    CPop& operator=(const CPop&) = delete;

    // Connects, reads the greeting, asks for the capabilities and logs in by the login
    // method (see SetLoginMethod()). A user name or password that holds CR, LF or NUL, or
    // does not fit a command line, is refused before anything is sent.
    bool Connect(const std::string& host, unsigned int port, const std::string& user,
                 const std::string& password);

    // Security of the next Connect, and the fingerprint of a certificate to accept even
    // where its chain or name does not validate. With StartTls or Tls nothing of the login
    // ever goes out unless the channel is secure.
    void SetSecurity(pop3::Security security, const std::string& trustedCertificate = "");
    bool IsSecure() const { return m_Secure; }
    // Normal: USER and PASS, or AUTH PLAIN where the server lists SASL PLAIN and not USER.
    // Encrypted: AUTH CRAM-MD5 where offered, else APOP where the greeting has a timestamp;
    // else the login fails before anything of it is sent.
    void SetLoginMethod(pop3::LoginMethod method) { m_LoginMethod = method; }
    // How the last Connect logged in: "USER", "AUTH PLAIN", "AUTH CRAM-MD5" or "APOP"; empty
    // before it tried.
    const std::string& GetLoginUsed() const { return m_LoginUsed; }
    // Seconds the server wants between logins, from its latest capability list; -1: none
    // listed.
    int GetLoginDelay() const { return m_LoginDelay; }
    // The login failed because the server offers no method the login method allows.
    bool LoginUnavailable() const { return m_LoginUnavailable; }
    // After a failed handshake: the certificate was the reason, and its fingerprint.
    bool CertificateRejected() const { return m_CertificateRejected; }
    std::string GetServerFingerprint() const { return m_ServerFingerprint; }

    // Commands that, on a server with PIPELINING and a login by USER and PASS, go out in one
    // flight with USER and PASS: the capabilities once logged in, STAT and UIDL (this last
    // only where the capabilities before the login list it). Each is still called as ever,
    // and in this order; the reply of one that is not called is read and dropped before
    // anything else is sent. After a refused login they are read and dropped at once.
    struct LoginFlight {
        bool capa = false;
        bool stat = false;
        bool uidl = false;
    };
    void SetLoginFlight(LoginFlight flight) { m_Flight = flight; }

    // Asks the server for its capabilities (RFC 2449). True when it listed them; false
    // without a failure text when it refused, so that everything goes on as without.
    bool Capa();
    bool OffersPipelining() const { return m_Pipelining; }
    // Unknown when CAPA was refused: only trying UIDL tells.
    Support OffersUidl() const { return m_UidlSupport; }

    bool Stat();
    // Unique ids of every message ("UIDL"), or of one ("UIDL n"); GetUid() gives them. After
    // STAT, a listing that leaves out a counted message is out of step.
    bool Uidl();
    bool Uidl(int message);
    std::string GetUid(int message) const;

    // With PIPELINING offered, LIST and the TOP of every message up to count go out ahead
    // of their replies, in the order a sequential listing sends them, so that List() and
    // Top() then mostly read. False (and nothing planned) without PIPELINING.
    // withList false: the TOPs alone, after a List() already read. withQuit: QUIT goes out
    // behind the last TOP, for a session that marks nothing.
    bool PlanListing(int count, int lines, bool withList = true, bool withQuit = false);
    // Sizes of the messages: the listing line "n size" gives message n its size.
    bool List();
    // The size of one message ("LIST n").
    bool List(int message);
    // Headers and the first body lines of one message. True when "To:", "From:" and
    // "Date:" were all found; false without a failure text otherwise, and false with one
    // when the server refused or the reply could not be read.
    bool Top(int message, int lines);
    bool Dele(int message);
    bool Noop();
    bool Rset();
    // After its "+OK", waits at most a second for the server to close: anything that comes
    // meanwhile shows an earlier reply was taken for another (IsOutOfStep()).
    bool Quit();

    int GetMessageCount() const { return m_MessageCount; }
    std::int64_t GetTotalSize() const { return m_TotalSize; }
    std::int64_t GetMessageSize(int message) const;
    std::string GetSummary() const { return m_Summary; }
    // A digest of the header block of the last Top(): the same whatever body lines it asked
    // for, so that a row can be told from another message of the same size.
    std::uint64_t GetHeaderDigest() const { return m_HeaderDigest; }
    std::string GetErrorText() const { return m_Error; }
    // The connection was lost or left out of step; nothing more will work.
    bool IsBroken() const { return m_Broken; }
    // Broken because a reply could not be what was asked for: what came before it may have
    // been misread too.
    bool IsOutOfStep() const { return m_OutOfStep; }
    // The failure on show was a silence past the limit.
    bool TimedOut() const { return m_Cause == Cause::Late; }
    // The failure on show was a server with no secure channel on offer.
    bool LacksSecureChannel() const { return m_Cause == Cause::NoSecureChannel; }
    // The last -ERR: its response code and text, and whether it answered USER or PASS.
    const pop3::ErrReply& GetRefusal() const { return m_Refusal; }
    bool RefusedLogin() const { return m_RefusedLogin; }

    // Time limit of the connect (lookup included), of every exchange and of every silence.
    void SetTimeout(int milliseconds) { m_TimeoutMs = milliseconds; }
    // Lets another thread stop the next Connect and everything after it at once; the
    // session then breaks as if the connection were lost.
    void SetCancelSignal(std::shared_ptr<net::CancelSignal> signal) {
        m_Cancel = std::move(signal);
    }
    // The session's deadline before it has earned anything.
    void SetSessionLimit(int milliseconds) { m_SessionLimitMs = milliseconds; }

    // Read directly by the account after Top().
    std::string m_To;
    std::string m_From;
    std::string m_Subject;
    std::string m_Date;

private:
    enum class ReplyKind { Greeting, User, Pass, Quit, Dele, Rset, Stat, Noop, List, Top, Uidl };

    // The one place the transport is made: with Tls, the secure channel over the socket.
    std::unique_ptr<net::Stream> OpenStream(const std::string& host, unsigned short port);
    // The handshake over a connected socket; null, with m_SecureError, when it fails.
    std::unique_ptr<net::Stream> Secure(net::TcpSocket socket, const std::string& host);
    // STLS after the greeting; breaks the session rather than go on in plain text.
    bool StartTls(const std::string& host);
    bool Login(const std::string& user, const std::string& password);
    // USER, PASS and the login flight in one send.
    bool PipelinedLogin(const std::string& user, const std::string& password);
    // Reads and drops the replies of flight commands nobody called.
    bool DropAhead();
    bool SendBytes(const std::string& out);
    // AUTH with mechanism; initial: the response to send, with the command when it fits
    // the line RFC 5034 allows; respond: the answer to the server's challenge otherwise.
    bool Authenticate(const std::string& mechanism, const std::string& initial,
                      const std::function<bool(std::string_view, std::string&)>& respond);
    // planned: what the command is, when a listing plan may already have sent it.
    bool SendCommand(const std::string& line, const pop3::ListingPlan::Command* planned = nullptr);
    bool SendAhead();
    bool Command(const std::string& line, ReplyKind kind);
    bool ReadStatus(ReplyKind kind, std::string& status);
    // The failure of a "-ERR" status of that kind.
    bool Refused(ReplyKind kind, const std::string& status);
    // A status line, which must begin "+OK" or "-ERR"; ok tells which.
    bool ReadStatusLine(std::string& status, bool& ok);
    bool ReadBodyLines(std::size_t limit, const pop3::ReplyReader::LineHandler& handler);
    // The reader's failure, taken over as the session's.
    bool ReaderFailed();
    // Bytes a LIST or UIDL body may hold: one short line per counted message.
    std::size_t ListingLimit() const;
    bool StoreUid(int message, std::string_view uid);
    // What the failure on show was, where the reaction to it differs.
    enum class Cause { Other, Late, NoSecureChannel };
    bool Fail(const char* text);
    bool Break(const char* text, Cause cause = Cause::Other);
    bool BreakOutOfStep(const char* text);

    // Message number -> octets from the last LIST, and message number -> where its unique id
    // lies in m_UidText, from UIDL; both in ascending order of number. Kept this compact so
    // that a long listing costs about what it took to send.
    struct UidEntry {
        int message;
        std::uint32_t end; // its id ends here, and starts where the one before ended
    };
    std::deque<std::pair<int, std::int64_t>> m_Sizes;
    std::deque<UidEntry> m_Uids;
    std::deque<char> m_UidText; // in pieces: growing it never copies what it holds
    std::string m_Summary;
    std::uint64_t m_HeaderDigest = 0;
    std::string m_Error;
    std::int64_t m_TotalSize = 0;
    int m_MessageCount = 0;
    bool m_Counted = false; // a STAT gave the count that listings are held to
    int m_Deleted = 0;      // messages marked since the session began, or since RSET
    int m_TimeoutMs = kDefaultTimeoutMs;
    int m_SessionLimitMs = kDefaultSessionLimitMs;
    std::shared_ptr<net::CancelSignal> m_Cancel;
    bool m_Broken = false;
    Cause m_Cause = Cause::Other;
    pop3::ErrReply m_Refusal;
    bool m_RefusedLogin = false;
    bool m_OutOfStep = false;
    bool m_Pipelining = false;
    bool m_Stls = false;
    pop3::Security m_Security = pop3::Security::None;
    std::string m_TrustedCertificate;
    bool m_Secure = false;
    bool m_CertificateRejected = false;
    std::string m_ServerFingerprint;
    std::string m_SecureError; // why OpenStream() gave nothing, when the handshake was why
    Support m_UidlSupport = Support::No;
    bool m_CapaListed = false; // the latest CAPA was answered
    pop3::Capabilities m_Offered;
    int m_LoginDelay = -1;
    std::string m_ApopTimestamp; // from the greeting
    pop3::LoginMethod m_LoginMethod = pop3::LoginMethod::Normal;
    std::string m_LoginUsed;
    bool m_LoginUnavailable = false;
    pop3::ListingPlan m_Plan;
    // Commands of the login flight on the wire whose replies nobody has read yet, in order.
    struct Ahead {
        std::string line;
        enum Body { None, Capa, Listing } body; // what follows a "+OK"
    };
    LoginFlight m_Flight;
    std::deque<Ahead> m_Ahead;
    pop3::ReplyReader m_Reader;
};
