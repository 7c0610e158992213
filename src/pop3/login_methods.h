#pragma once

#include <string>
#include <string_view>

// The ways of logging in beyond USER and PASS: what each sends, as pure functions.
namespace pop3 {

// "Normal password": USER and PASS, or SASL PLAIN where the server wants that instead.
// "Encrypted password": CRAM-MD5 or APOP, which never put the password itself on the wire.
enum class LoginMethod { Normal, Encrypted };

// The profile's and the command line's words: "normal", "encrypted".
const char* LoginMethodName(LoginMethod method);
// False for a word that is neither.
bool ParseLoginMethod(const std::string& name, LoginMethod& method);

std::string EncodeBase64(std::string_view bytes);

// The timestamp of an APOP server's greeting (RFC 1939), angle brackets included; empty
// when the greeting carries none that is well formed.
std::string ApopTimestamp(std::string_view greeting);
// The digest argument of "APOP name digest".
std::string ApopDigest(std::string_view timestamp, std::string_view password);

// The answer to an AUTH CRAM-MD5 challenge (RFC 2195), both in base64; false when the
// challenge is not base64.
bool CramMd5Response(std::string_view challenge, std::string_view user, std::string_view password,
                     std::string& response);

// The initial response of AUTH PLAIN (RFC 4616), in base64, with no authorization identity.
std::string SaslPlainResponse(std::string_view user, std::string_view password);

} // namespace pop3
