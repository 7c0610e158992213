#include "pop3/reply_reader.h"

#include <algorithm>
#include <cstring>

#include "pop3/pop_text.h"

namespace pop3 {

namespace {

// A whole LIST of a large mailbox fits in a few receives; each receive gets at least
// kReceiveRoom bytes of space.
constexpr std::size_t kReceiveBuffer = 65536;
constexpr std::size_t kReceiveRoom = 16384;

// The session's deadline grows by this share of its base for every status line and for every
// 64 KiB received (see SessionDeadline()).
constexpr std::uint64_t kRepliesPerBase = 120;
constexpr std::uint64_t kChunksPerBase = 120;
constexpr std::uint64_t kChunkBytes = 64 * 1024;

constexpr char kLate[] = "Server did not answer in time";
constexpr char kLost[] = "Error reading from socket!";
constexpr char kTooLong[] = "Reply line too long";
constexpr char kTooMuch[] = "The server sent more than expected";
constexpr char kNotUnderstood[] = "The server's reply was not understood";

constexpr char kTerminator[] = "\r\n.\r\n";
constexpr std::size_t kTerminatorLength = sizeof kTerminator - 1;

long long MillisecondsBetween(ReplyReader::Clock::time_point from,
                              ReplyReader::Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

} // namespace

ReplyReader::ReplyReader(Now now) : m_Now(std::move(now)), m_Buffer(kReceiveBuffer) {}

void ReplyReader::Start(int timeoutMs, int sessionLimitMs) {
    m_Stream.reset();
    m_TimeoutMs = timeoutMs;
    m_SessionLimitMs = sessionLimitMs;
    m_SessionStart = m_Now();
    m_SessionBytes = m_SessionReplies = 0;
    m_Begin = m_End = 0;
    BeginExchange();
}

void ReplyReader::Close() {
    if (m_Stream) {
        m_Stream->Close();
        m_Stream.reset();
    }
    m_Begin = m_End = 0;
}

bool ReplyReader::Fail(const char* text, bool outOfStep) {
    m_Error = text;
    m_OutOfStep = outOfStep;
    m_TimedOut = false;
    return false;
}

bool ReplyReader::FailLate() {
    Fail(kLate);
    m_TimedOut = true;
    return false;
}

void ReplyReader::BeginExchange() {
    m_ExchangeStart = m_Now();
    m_ExchangeBytes = 0;
    m_MultiLine = false;
}

ReplyReader::Clock::time_point ReplyReader::ReplyDeadline() const {
    // Even a slow link of 32 kbit/s earns time faster than it spends it, so a long listing
    // completes; the replies of a check are a few KiB, so their limit stays near the base. A
    // server that trickles a byte every few seconds earns a fraction of a millisecond per
    // byte and meets the base limit almost exactly. The cap keeps a server that streams an
    // endless reply from holding the session for ever.
    auto deadline = m_ExchangeStart + std::chrono::milliseconds(m_TimeoutMs);
    if (m_MultiLine) {
        const long long earned =
            static_cast<long long>(m_ExchangeBytes) * 1000 / kAllowanceBytesPerSecond;
        deadline += std::chrono::milliseconds(std::min(earned, kMaxAllowanceMs));
    }
    return deadline;
}

ReplyReader::Clock::time_point ReplyReader::SessionDeadline() const {
    // The base, 2 minutes by default, grows by a 120th of itself (1 s) for every status line
    // and for every 64 KiB received: an honest round trip of up to a second pays for itself,
    // so a mailbox that takes long because it is large is let through. A server that answers
    // each command after the limit earns a small share of what it spends. Whatever the count
    // a server claims, the ceiling ends the session: no check holds the mailbox, the worker
    // and the busy display longer than that.
    const auto base = static_cast<std::uint64_t>(std::max(m_SessionLimitMs, 0));
    const std::uint64_t earned = base * m_SessionReplies / kRepliesPerBase +
                                 base * m_SessionBytes / kChunkBytes / kChunksPerBase;
    const auto ceiling = std::max<std::uint64_t>(base, kSessionCeilingMs);
    return m_SessionStart + std::chrono::milliseconds(std::min(base + earned, ceiling));
}

int ReplyReader::SendLimitMs() const {
    const long long left = MillisecondsBetween(m_Now(), SessionDeadline());
    return static_cast<int>(std::max<long long>(0, std::min<long long>(left, m_TimeoutMs)));
}

std::string_view ReplyReader::Pending() const {
    return std::string_view(m_Buffer.data() + m_Begin, m_End - m_Begin);
}

bool ReplyReader::ReadStatusLine(std::string& line) {
    std::size_t searchFrom = 0;
    for (;;) {
        const std::string_view pending = Pending();
        const std::size_t end = pending.find("\r\n", searchFrom);
        if (std::min(end, pending.size()) > kMaxLine) {
            return Fail(kTooLong);
        }
        if (end != std::string_view::npos) {
            line.assign(pending.data(), end + 2);
            m_Begin += end + 2;
            ++m_SessionReplies;
            return true;
        }
        // A CR at the very end may pair with an LF still to come.
        searchFrom = pending.empty() ? 0 : pending.size() - 1;
        if (!ReceiveMore()) {
            return false;
        }
    }
}

bool ReplyReader::ReadBody(const Sink& sink, std::size_t limit) {
    m_MultiLine = true;
    // The status line's CR LF precedes the body, so the body may open with the "." line.
    bool atStart = true;
    std::size_t taken = 0;
    std::size_t lineLength = 0; // of the line still open at the end of what was taken
    const auto take = [&](const char* data, std::size_t length) {
        taken += length;
        if (taken > limit) {
            return Fail(kTooMuch, true);
        }
        std::size_t afterLf = length; // where the last line of the data begins
        while (afterLf > 0 && data[afterLf - 1] != '\n') {
            --afterLf;
        }
        lineLength = afterLf == 0 ? lineLength + length : length - afterLf;
        if (lineLength > kMaxLine) {
            return Fail(kTooLong);
        }
        return sink(data, length) || Fail(kNotUnderstood, true);
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

bool ReplyReader::ReadBodyLines(std::size_t limit, const LineHandler& handler) {
    // partial holds a line whose LF has not come yet; the line limit bounds it.
    std::string partial;
    return ReadBody(
        [&partial, &handler](const char* data, std::size_t length) {
            std::string_view chunk(data, length);
            for (std::size_t lf; (lf = chunk.find('\n')) != std::string_view::npos;) {
                partial.append(chunk.data(), lf);
                if (!handler(CleanView(partial))) {
                    return false;
                }
                partial.clear();
                chunk.remove_prefix(lf + 1);
            }
            partial.append(chunk.data(), chunk.size());
            return true;
        },
        limit);
}

bool ReplyReader::ReceiveMore() {
    if (!m_Stream) {
        return Fail(kLost);
    }
    if (m_BeforeWait && !m_BeforeWait()) {
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
    const long long left =
        MillisecondsBetween(m_Now(), std::min(ReplyDeadline(), SessionDeadline()));
    if (left <= 0) {
        return FailLate();
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
        return FailLate();
    case net::RecvStatus::Closed:
    case net::RecvStatus::Error:
        break;
    }
    return Fail(kLost);
}

bool ReplyReader::AwaitClose(int waitMs) {
    if (HasPending()) {
        return Fail(kNotUnderstood, true);
    }
    if (!m_Stream) {
        return true;
    }
    const long long left = std::min<long long>(
        waitMs, std::max<long long>(0, MillisecondsBetween(m_Now(), SessionDeadline())));
    char byte = 0;
    const net::RecvResult result = m_Stream->Receive(&byte, 1, static_cast<int>(left));
    // More came than was asked for: some reply before was taken for another.
    return result.status != net::RecvStatus::Data || Fail(kNotUnderstood, true);
}

} // namespace pop3
