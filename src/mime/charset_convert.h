#pragma once

#include <string>
#include <string_view>

// The one platform seam of the charset conversion: iconv natively, the code page
// conversions on Windows.
namespace mime {

struct Charset {
    const char* iconvName;
    unsigned codePage;
    // Tried when the system lacks codePage (Wine has no GB18030 but has its GBK subset).
    unsigned fallbackCodePage;
};

// False when the platform has no conversion for the charset.
bool PlatformToUtf8(const Charset& charset, std::string_view bytes, std::string& out);

} // namespace mime
