#pragma once

#include <string>
#include <string_view>

// The two encodings of MIME (RFC 2045) and the Q form of RFC 2047.
namespace mime {

// A character's value in the base64 alphabet (RFC 4648, as MIME and UTF-7 use it), or -1.
int Base64Value(char c);

// An encoded word's B text: false on any character outside the alphabet.
bool DecodeBase64Strict(std::string_view text, std::string& bytes);

// An encoded word's Q text: "_" is a blank; false on an "=" without two hex digits.
bool DecodeQWord(std::string_view text, std::string& bytes);

// A body's base64: other characters are skipped, as RFC 2045 asks; padding ends a group,
// and a group cut off by the end of the lines gives the bytes it holds.
std::string DecodeBase64Body(std::string_view text);

// A body's quoted-printable: soft line breaks joined, "=XX" decoded, any other "=" kept.
std::string DecodeQuotedPrintable(std::string_view text);

} // namespace mime
