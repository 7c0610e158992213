#include "net/socket_api.h"

// getaddrinfo is the same call in Winsock as in POSIX; only its header differs.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace net::detail {

bool Resolve(const std::string& host, unsigned short port, bool numericOnly,
             std::vector<Address>& found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) {
        return false;
    }
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(ai->ai_addr);
        found.push_back({ai->ai_family, ai->ai_socktype, ai->ai_protocol,
                         std::vector<unsigned char>(bytes, bytes + ai->ai_addrlen)});
    }
    ::freeaddrinfo(list);
    return !found.empty();
}

} // namespace net::detail
