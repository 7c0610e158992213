#pragma once

#include <string>

namespace pop3 {

// How a session protects itself: not at all, STLS on the plain port (RFC 2595), or TLS
// from the first byte (RFC 8314).
enum class Security { None, StartTls, Tls };

constexpr unsigned short kPop3Port = 110;
constexpr unsigned short kPop3sPort = 995;

// The profile's and the command line's words: "none", "starttls", "tls".
inline const char* SecurityName(Security security) {
    switch (security) {
    case Security::StartTls:
        return "starttls";
    case Security::Tls:
        return "tls";
    default:
        return "none";
    }
}

// False for a word that is none of them.
inline bool ParseSecurity(const std::string& name, Security& security) {
    for (const Security s : {Security::None, Security::StartTls, Security::Tls}) {
        if (name == SecurityName(s)) {
            security = s;
            return true;
        }
    }
    return false;
}

} // namespace pop3
