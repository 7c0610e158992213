#pragma once

#include <optional>
#include <string>

namespace net {

struct HostPort {
    std::string host;
    unsigned short port;
};

// Splits a server text "host:port" ("[v6-address]:port" for IPv6) into its parts. A text
// without a port gives defaultPort; a plain IPv6 address (several colons, no brackets) is
// taken whole as the host. An empty host, or a port that is empty, not all digits, 0 or
// above 65535, gives nothing.
std::optional<HostPort> SplitHostPort(const std::string& server, unsigned short defaultPort);

} // namespace net
