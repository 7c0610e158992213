#pragma once

#include <array>
#include <string>
#include <string_view>

// MD5 (RFC 1321) and HMAC-MD5 (RFC 2104), for the two POP3 logins that need them. Neither
// is fit to protect anything new; the protocols fix them.
namespace pop3 {

using Md5Digest = std::array<unsigned char, 16>;

Md5Digest Md5(std::string_view data);
Md5Digest HmacMd5(std::string_view key, std::string_view message);

// Lower-case hexadecimal, as both logins send a digest.
std::string ToHex(const Md5Digest& digest);

} // namespace pop3
