#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/stream.h"

namespace pop3 {

// Frames the replies of one POP3 session out of whatever pieces the stream delivers them
// in, and keeps its time rules: a status line is read through its CR LF, a multi-line body
// through its closing "." line.
//
// Time limits hold for whole exchanges: a status line must be complete within the limit of
// its command, a multi-line body within the limit plus an allowance that grows with the bytes
// it has delivered. An exchange's clock starts when its command is sent (BeginExchange()).
// Whatever a reply has earned, no single wait lasts longer than the limit, and the session
// as a whole has a deadline that grows with what the server delivered, up to a ceiling.
//
// Time comes from the clock given at construction, so that every rule can be followed
// without waiting; the stream's own waits are bounded by what that clock says is left.
class ReplyReader {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;
    // Takes the next bytes of a body; false when they cannot belong to the reply.
    using Sink = std::function<bool(const char* data, std::size_t length)>;
    // One line of a body, cleaned (see pop3::CleanView()).
    using LineHandler = std::function<bool(std::string_view cleanLine)>;

    // Every line of every reply, status or body, is at most this long: beyond it a server
    // that never ends its line could only make the client hoard memory.
    static constexpr std::size_t kMaxLine = 65536;
    // A multi-line body earns one second for every this many bytes it delivers, and never
    // more than kMaxAllowanceMs.
    static constexpr long kAllowanceBytesPerSecond = 4096;
    static constexpr long long kMaxAllowanceMs = 10 * 60 * 1000;
    // The whole session's deadline never passes this, unless its base is set beyond it.
    static constexpr long long kSessionCeilingMs = 8 * 60 * 1000;

    explicit ReplyReader(Now now = Clock::now);

    // A new session: its clock starts now; the stream follows once connected.
    void Start(int timeoutMs, int sessionLimitMs);
    // SetStream also replaces the stream (a secure channel over the same connection).
    std::unique_ptr<net::Stream> TakeStream() { return std::move(m_Stream); }
    void SetStream(std::unique_ptr<net::Stream> stream) { m_Stream = std::move(stream); }
    net::Stream* Stream() const { return m_Stream.get(); }
    void Close();

    // Run before every wait for bytes; false ends the read (the session broke meanwhile).
    void SetBeforeWait(std::function<bool()> beforeWait) { m_BeforeWait = std::move(beforeWait); }

    void BeginExchange();
    // Time left for a send: the session's, no more than the limit of one exchange.
    int SendLimitMs() const;

    bool ReadStatusLine(std::string& line); // CR LF included
    // A body of at most limit bytes, its closing line included.
    bool ReadBody(const Sink& sink, std::size_t limit);
    // The same, handed on line by line as it arrives.
    bool ReadBodyLines(std::size_t limit, const LineHandler& handler);
    // Received and not yet taken by a reply.
    bool HasPending() const { return m_Begin != m_End; }
    // After the last reply: waits at most waitMs for the server to close. False when
    // anything arrives meanwhile (out of step); a close, a silence or an error is the end.
    bool AwaitClose(int waitMs);

    // Why the last read failed: its text, and whether what was read before it can still be
    // trusted (false: the replies were out of step with the commands).
    const char* ErrorText() const { return m_Error; }
    bool OutOfStep() const { return m_OutOfStep; }
    // The server fell silent past a limit, rather than closing or garbling.
    bool TimedOut() const { return m_TimedOut; }

    // The deadlines as they stand; for the session's own reasoning and for tests.
    Clock::time_point ReplyDeadline() const;
    Clock::time_point SessionDeadline() const;

private:
    bool ReceiveMore();
    std::string_view Pending() const;
    bool Fail(const char* text, bool outOfStep = false);
    bool FailLate();

    Now m_Now;
    std::unique_ptr<net::Stream> m_Stream;
    std::function<bool()> m_BeforeWait;
    int m_TimeoutMs = 30000;
    int m_SessionLimitMs = 120000;
    const char* m_Error = "";
    bool m_OutOfStep = false;
    bool m_TimedOut = false;
    Clock::time_point m_SessionStart;
    std::uint64_t m_SessionBytes = 0;   // received since the start
    std::uint64_t m_SessionReplies = 0; // status lines read since the start
    Clock::time_point m_ExchangeStart;
    std::size_t m_ExchangeBytes = 0; // received since the exchange began
    bool m_MultiLine = false;        // the exchange is reading a multi-line body
    // Received bytes; those in [m_Begin, m_End) are not yet consumed by a reply.
    std::vector<char> m_Buffer;
    std::size_t m_Begin = 0;
    std::size_t m_End = 0;
};

} // namespace pop3
