#pragma once

#include <cstddef>
#include <string>

namespace pop3 {

// The commands of a listing sent ahead of their replies on a server with PIPELINING: LIST
// (when asked for), the TOP of every message up to the count and, when asked for, QUIT, in
// the order a sequential listing sends them. Each command the session is about to send is
// claimed here by what it is, and the plan says whether it is already on the wire.
class ListingPlan {
public:
    struct Command {
        enum Kind { List, Top, Quit, Other } kind;
        int message; // Top: the message number and the body lines asked for
        int lines;
    };
    enum class Claim {
        Unplanned, // no plan covers it: send it alone
        Send,      // planned and not yet sent: send it now, with what follows (AppendAhead)
        OnWire,    // already sent: its reply is the next to read
        OutOfTurn  // planned commands are on the wire before it: its reply could not be told
    };

    // Commands sent ahead, in bytes: far below the socket buffers of either system, so a
    // send of them never waits for the server to read, and a server that answers while it
    // reads can never be blocked by us.
    static constexpr std::size_t kAheadWindow = 4096;

    // False, with nothing planned, when a plan is still under way.
    bool Start(int count, int lines, bool withList, bool withQuit = false);
    void Drop();
    bool Active() const { return m_Read < m_Total; }

    Claim Take(const Command& command);
    // Appends the planned commands that fit the window and counts them as sent.
    void AppendAhead(std::string& out);
    // Few enough commands wait ahead that the server could soon run out of work.
    bool WantsRefill() const { return m_AheadBytes <= kAheadWindow / 2; }

private:
    Command At(std::size_t index) const;
    std::string LineOf(std::size_t index) const;

    // Those before m_Read have been taken; those before m_Sent are on the wire.
    std::size_t m_Total = 0;
    std::size_t m_Read = 0;
    std::size_t m_Sent = 0;
    bool m_WithList = false;
    bool m_WithQuit = false;
    int m_Lines = 0;
    std::size_t m_AheadBytes = 0; // of commands sent ahead and not yet taken
};

} // namespace pop3
