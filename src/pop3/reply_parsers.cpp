#include "pop3/reply_parsers.h"

#include <algorithm>
#include <climits>

#include "mime/header.h"
#include "pop3/pop_text.h"

namespace pop3 {

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

std::string_view FirstWord(std::string_view text, std::string_view* rest) {
    const std::size_t end = std::min(text.find(' '), text.size());
    if (rest != nullptr) {
        const std::size_t next = text.find_first_not_of(' ', end);
        *rest = next == std::string_view::npos ? std::string_view() : text.substr(next);
    }
    return text.substr(0, end);
}

bool ParseStat(std::string_view status, StatReply& reply) {
    // A count that is missing, negative or no number would be believed as a number of
    // messages. The size, only informative, may be missing.
    if (status.size() < 5 || status.substr(0, 3) != "+OK") {
        return false;
    }
    std::string_view rest = status.substr(3, status.size() - 5); // without CR LF
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
    reply.count = static_cast<int>(count);
    reply.hasTotal = ParseNumber(word(), reply.total);
    return true;
}

ListingLine ParseListLine(std::string_view clean) {
    ListingLine line;
    const std::size_t blank = clean.find(' ');
    if (blank == std::string_view::npos) {
        return line;
    }
    line.message = ReadInt(clean.substr(0, blank));
    if (line.message < 1) {
        return line;
    }
    std::string_view size = clean.substr(blank + 1);
    size.remove_prefix(std::min(size.find_first_not_of(' '), size.size()));
    ParseNumber(size.substr(0, size.find_first_not_of("0123456789")), line.octets);
    line.isEntry = true;
    return line;
}

// A message number as RFC 1939 writes it: digits alone, from 1.
bool ParseMessageNumber(std::string_view text, int& message) {
    std::int64_t value = 0;
    if (!ParseNumber(text, value) || value < 1 || value > INT_MAX) {
        return false;
    }
    message = static_cast<int>(value);
    return true;
}

UidLine ParseUidLine(std::string_view clean) {
    UidLine line;
    std::string_view rest;
    // What confirms a message before it is deleted: no number may be read into it.
    line.isEntry = ParseMessageNumber(FirstWord(clean, &rest), line.message);
    line.uid = FirstWord(rest);
    line.isEntry = line.isEntry && !line.uid.empty();
    return line;
}

bool ParseScanListing(std::string_view rest, int& message, std::int64_t& octets) {
    std::string_view size;
    return ParseMessageNumber(FirstWord(rest, &size), message) &&
           ParseNumber(FirstWord(size), octets);
}

bool IsValidUid(std::string_view uid) {
    return !uid.empty() && uid.size() <= 70 &&
           std::all_of(uid.begin(), uid.end(), [](char c) { return c >= 0x21 && c <= 0x7E; });
}

void ReadCapability(std::string_view clean, Capabilities& capabilities) {
    const std::string_view name = FirstWord(clean);
    if (mime::EqualsNoCase(name, "PIPELINING")) {
        capabilities.pipelining = true;
    } else if (mime::EqualsNoCase(name, "UIDL")) {
        capabilities.uidl = true;
    } else if (mime::EqualsNoCase(name, "STLS")) {
        capabilities.stls = true;
    } else if (mime::EqualsNoCase(name, "USER")) {
        capabilities.user = true;
    } else if (mime::EqualsNoCase(name, "SASL")) {
        std::string_view rest;
        FirstWord(clean, &rest);
        while (!rest.empty()) {
            const std::string_view mechanism = FirstWord(rest, &rest);
            capabilities.saslPlain =
                capabilities.saslPlain || mime::EqualsNoCase(mechanism, "PLAIN");
            capabilities.saslCramMd5 =
                capabilities.saslCramMd5 || mime::EqualsNoCase(mechanism, "CRAM-MD5");
        }
    } else if (mime::EqualsNoCase(name, "LOGIN-DELAY")) {
        // "LOGIN-DELAY 900", before the login perhaps with "USER" after it: the value may
        // change once the server knows who logs in.
        std::string_view rest;
        FirstWord(clean, &rest);
        std::int64_t seconds = 0;
        if (ParseNumber(FirstWord(rest), seconds)) {
            capabilities.loginDelay =
                static_cast<int>(std::min<std::int64_t>(seconds, kLongestLoginDelay));
        }
    }
}

} // namespace pop3
