#pragma once

#include <cstdint>
#include <string_view>

// What the replies of STAT, LIST, UIDL and CAPA say, from their text alone.
namespace pop3 {

// A count or size as RFC 1939 writes them: decimal digits and nothing else.
bool ParseNumber(std::string_view text, std::int64_t& value);

// The first word of a line and the rest after its blanks.
std::string_view FirstWord(std::string_view text, std::string_view* rest = nullptr);

// "+OK count octets" with its CR LF. False when the count is missing, negative or no
// number; a missing size leaves hasTotal false.
struct StatReply {
    int count = 0;
    bool hasTotal = false;
    std::int64_t total = 0;
};
bool ParseStat(std::string_view status, StatReply& reply);

// One cleaned line of a LIST body, "n size": isEntry false for anything else (the closing
// "." line). The size is the digits that begin it, as atoi would take them, but 64-bit.
struct ListingLine {
    bool isEntry = false;
    int message = 0;
    std::int64_t octets = 0;
};
ListingLine ParseListLine(std::string_view clean);

// One cleaned line of a UIDL body or the rest of a "+OK n uid" status: "n uid", the number in
// digits alone. isEntry false for a line without both.
struct UidLine {
    bool isEntry = false;
    int message = 0;
    std::string_view uid;
};
UidLine ParseUidLine(std::string_view clean);
// The rest of a "+OK n size" status to "LIST n": both in digits alone.
bool ParseScanListing(std::string_view rest, int& message, std::int64_t& octets);

// RFC 1939: 1 to 70 characters from 0x21 to 0x7E.
bool IsValidUid(std::string_view uid);

// A server's wish beyond this (in seconds) is held to it: a day without checks is already
// more than anyone configures on purpose.
constexpr int kLongestLoginDelay = 24 * 60 * 60;

// The capabilities a CAPA body names, one cleaned line at a time.
struct Capabilities {
    bool pipelining = false;
    bool uidl = false;
    bool stls = false;
    bool user = false; // USER and PASS
    bool saslPlain = false;
    bool saslCramMd5 = false;
    // Seconds the server wants between two logins (RFC 2449 LOGIN-DELAY); -1: not listed.
    int loginDelay = -1;
};
void ReadCapability(std::string_view clean, Capabilities& capabilities);

} // namespace pop3
