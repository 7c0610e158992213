#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/stream.h"
#include "net/tcp_socket.h"
#include "pop3/response_code.h"
#include "pop3/security.h"

namespace pop3 {
class ScratchFile;
}

// One POP3 session with one server over one TCP connection. Failures leave a text for
// GetErrorText(). Replies are framed: a status line is read through its CR LF, a multi-line
// reply through its closing "." line, whatever pieces the network delivers them in.
//
// Time limits hold for whole exchanges: a status line must be complete within the limit of
// its command, a multi-line reply within the limit plus an allowance that grows with the
// bytes it has delivered. An exchange's clock starts when its command is sent, or when the
// reply before it ended, whichever is later.
//
// Whatever a reply has earned, no single wait for bytes lasts longer than the limit, and the
// session as a whole, from the connect on, has a deadline that grows only with what the
// server really delivered (see SessionDeadline()).
//
// A failure that can leave the session out of step with the server (a time limit, a failed
// send or receive, the end of the connection, an over-long line, a reply larger than its
// command can give, a reply that is no POP3 status line) breaks it: the connection is
// closed, and every later operation fails at once with that first failure's text.
class CPop {
public:
    static constexpr int kDefaultTimeoutMs = 30000;
    static constexpr int kDefaultSessionLimitMs = 120000;
    // Allowance of a multi-line reply: one second for every this many bytes received. See
    // ReplyDeadline() for the reasons.
    static constexpr long kAllowanceBytesPerSecond = 4096;

    enum class Support { No, Yes, Unknown };

    CPop();
    virtual ~CPop();
    CPop(const CPop&) = delete;
    CPop& operator=(const CPop&) = delete;

    // Connects, reads the greeting and logs in with USER and PASS. A user name or
    // password that holds CR, LF or NUL, or does not fit a command line, is refused
    // before anything is sent.
    bool Connect(const std::string& host, unsigned int port, const std::string& user,
                 const std::string& password);
    bool Connect(); // with the stored host, port, user and password

    // Security of the next Connect, and the fingerprint of a certificate to accept even
    // where its chain or name does not validate. With StartTls or Tls nothing of the login
    // ever goes out unless the channel is secure.
    void SetSecurity(pop3::Security security, const std::string& trustedCertificate = "");
    bool IsSecure() const { return m_Secure; }
    // After a failed handshake: the certificate was the reason, and its fingerprint.
    bool CertificateRejected() const { return m_CertificateRejected; }
    std::string GetServerFingerprint() const { return m_ServerFingerprint; }

    // Asks the server for its capabilities (RFC 2449). True when it listed them; false
    // without a failure text when it refused, so that everything goes on as without.
    bool Capa();
    bool OffersPipelining() const { return m_Pipelining; }
    // Unknown when CAPA was refused: only trying UIDL tells.
    Support OffersUidl() const { return m_UidlSupport; }

    bool Stat();
    // Unique ids of every message ("UIDL"), or of one ("UIDL n"); GetUid() gives them.
    bool Uidl();
    bool Uidl(int message);
    std::string GetUid(int message) const;

    // With PIPELINING offered, LIST and the TOP of every message up to count go out ahead
    // of their replies, in the order a sequential listing sends them, so that List() and
    // Top() then mostly read. False (and nothing planned) without PIPELINING.
    bool PlanListing(int count, int lines);
    // Sizes of the messages: the listing line "n size" gives message n its size.
    bool List();
    // Headers and the first body lines of one message. True when "To:", "From:" and
    // "Date:" were all found; false without a failure text otherwise, and false with one
    // when the server refused or the reply could not be read.
    bool Top(int message, int lines);
    // The whole message after the status line, as received (closing "." line included).
    bool Retr(int message);
    bool Retr(int message, const std::string& outputFile);
    bool Dele(int message);
    bool Noop();
    bool Rset();
    bool Quit();

    int GetMessageCount() const { return m_MessageCount; }
    std::int64_t GetTotalSize() const { return m_TotalSize; }
    std::int64_t GetMessageSize(int message) const;
    std::string GetSummary() const { return m_Summary; }
    std::string GetErrorText() const { return m_Error; }
    // The connection was lost or left out of step; nothing more will work.
    bool IsBroken() const { return m_Broken; }
    // Broken because a reply could not be what was asked for: what came before it may have
    // been misread too.
    bool IsOutOfStep() const { return m_OutOfStep; }
    std::string GetRetrText() const { return m_RetrText; }
    // The last -ERR: its response code and text, and whether it answered USER or PASS.
    const pop3::ErrReply& GetRefusal() const { return m_Refusal; }
    bool RefusedLogin() const { return m_RefusedLogin; }

    void SetHost(const std::string& host) { m_Host = host; }
    std::string GetHost() const { return m_Host; }
    void SetUser(const std::string& user) { m_User = user; }
    std::string GetUser() const { return m_User; }
    void SetPass(const std::string& pass) { m_Pass = pass; }
    std::string GetPass() const { return m_Pass; }
    void SetPort(unsigned int port) { m_Port = static_cast<int>(port); }

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
    enum class ReplyKind {
        Greeting,
        User,
        Pass,
        Quit,
        Dele,
        Rset,
        Stat,
        Noop,
        List,
        Retr,
        Top,
        Capa,
        Uidl
    };
    // Takes the next bytes of a body; false when they cannot belong to the reply.
    using Sink = std::function<bool(const char* data, std::size_t length)>;
    using LineHandler = std::function<bool(std::string_view cleanLine)>;
    using Clock = std::chrono::steady_clock;

    // The one place the transport is made: with Tls, the secure channel over the socket.
    std::unique_ptr<net::Stream> OpenStream(const std::string& host, unsigned short port);
    // The handshake over a connected socket; null, with m_SecureError, when it fails.
    std::unique_ptr<net::Stream> Secure(net::TcpSocket socket, const std::string& host);
    // STLS after the greeting; breaks the session rather than go on in plain text.
    bool StartTls(const std::string& host);
    bool SendCommand(const std::string& line);
    std::string PlannedLine(std::size_t index) const;
    void AppendPlanned(std::string& out);
    bool SendPlanned();
    void BeginExchange();
    Clock::time_point ReplyDeadline() const;
    Clock::time_point SessionDeadline() const;
    int SendLimitMs() const;
    bool Command(const std::string& line, ReplyKind kind);
    bool ReadStatus(ReplyKind kind, std::string& status);
    // A status line, which must begin "+OK" or "-ERR"; ok tells which.
    bool ReadStatusLine(std::string& status, bool& ok);
    bool ReadLine(std::string& line);
    // A body of at most limit bytes (its closing line included).
    bool ReadBody(const Sink& sink, std::size_t limit);
    // A multi-line body handed on line by line as it arrives, each line cleaned.
    bool ReadBodyLines(std::size_t limit, const LineHandler& handler);
    static Sink SplitLines(std::string& partial, const LineHandler& handler);
    // Bytes a LIST or UIDL body may hold: one short line per counted message.
    std::size_t ListingLimit() const;
    bool ReceiveMore();
    std::string_view Pending() const;
    // The body into the file, and, when given, line by line to lines as well.
    bool SpoolBody(pop3::ScratchFile& file, std::size_t limit, const LineHandler& lines = {});
    bool ParseListLine(std::string_view clean);
    bool ParseHeaders(std::string_view text);
    bool ParseStat(const std::string& status);
    bool StoreUid(int message, std::string_view uid);
    bool Fail(const char* text);
    bool Break(const char* text);
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
    std::string m_Error;
    std::string m_Pass;
    std::string m_User;
    std::string m_Host;
    std::string m_RetrText;
    int m_Port = 0;
    std::int64_t m_TotalSize = 0;
    int m_MessageCount = 0;
    bool m_Counted = false; // a STAT gave the count that listings are held to
    int m_Deleted = 0;      // messages marked since the session began, or since RSET
    int m_TimeoutMs = kDefaultTimeoutMs;
    int m_SessionLimitMs = kDefaultSessionLimitMs;
    std::unique_ptr<net::Stream> m_Stream; // null until connected, and once closed
    std::shared_ptr<net::CancelSignal> m_Cancel;
    bool m_Broken = false;
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
    // The planned listing: command 0 is LIST, command n the TOP of message n. Those before
    // m_PlanRead have been taken by List() and Top(); those before m_PlanSent are on the wire.
    std::size_t m_PlanTotal = 0;
    std::size_t m_PlanRead = 0;
    std::size_t m_PlanSent = 0;
    int m_PlanLines = 0;
    std::size_t m_AheadBytes = 0; // of commands sent ahead and not yet taken
    Clock::time_point m_SessionStart;
    std::uint64_t m_SessionBytes = 0;   // received since the connect
    std::uint64_t m_SessionReplies = 0; // status lines read since the connect
    Clock::time_point m_ExchangeStart;
    std::size_t m_ExchangeBytes = 0; // received since the exchange began
    bool m_MultiLine = false;        // the exchange is reading a multi-line body
    // Received bytes; those in [m_Begin, m_End) are not yet consumed by a reply.
    std::vector<char> m_Buffer;
    std::size_t m_Begin = 0;
    std::size_t m_End = 0;
};
