#pragma once

#include <string>
#include <string_view>

// Everything inside the program is UTF-8; these bring text in other charsets to it.
namespace mime {

// Text in the named charset (a MIME charset name or a common alias, any case, an RFC 2231
// language suffix allowed) as UTF-8. False when the name is unknown or the platform cannot
// convert that charset; bytes the charset does not define become U+FFFD.
bool ToUtf8(std::string_view charset, std::string_view bytes, std::string& out);

bool IsUtf8(std::string_view bytes);

// Mail text whose charset is unknown: valid UTF-8 as it is, anything else read as
// windows-1252, which is what unlabelled 8-bit mail almost always is.
std::string Utf8OrWindows1252(std::string_view bytes);

} // namespace mime
