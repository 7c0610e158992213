#pragma once

#include <string>
#include <string_view>

// The program's UTF-8 texts meet the wide-character calls of Windows here.
namespace mime {

// Ill-formed UTF-8 becomes U+FFFD.
std::wstring ToUtf16(std::string_view utf8);
std::string FromUtf16(std::wstring_view wide);

} // namespace mime
