#include "net/host_port.h"

namespace net {

namespace {

std::optional<unsigned short> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<unsigned short>(value);
}

} // namespace

std::optional<HostPort> SplitHostPort(const std::string& server, unsigned short defaultPort) {
    std::string host;
    std::optional<unsigned short> port = defaultPort;

    if (!server.empty() && server.front() == '[') {
        const std::size_t close = server.find(']');
        if (close == std::string::npos) {
            return std::nullopt;
        }
        host = server.substr(1, close - 1);
        const std::string rest = server.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return std::nullopt;
            }
            port = ParsePort(rest.substr(1));
        }
    } else {
        const std::size_t colon = server.find(':');
        if (colon != std::string::npos && server.find(':', colon + 1) == std::string::npos) {
            host = server.substr(0, colon);
            port = ParsePort(server.substr(colon + 1));
        } else {
            host = server; // no port, or a bare IPv6 address
        }
    }

    if (host.empty() || !port) {
        return std::nullopt;
    }
    return HostPort{host, *port};
}

} // namespace net
