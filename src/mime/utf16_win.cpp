#include "mime/utf16_win.h"

#include <windows.h>

#include <climits>

namespace mime {

std::wstring ToUtf16(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) {
        return std::wstring();
    }
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    }
    return wide;
}

std::string FromUtf16(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) {
        return std::string();
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, narrow.data(), length, nullptr,
                              nullptr);
    }
    return narrow;
}

} // namespace mime
