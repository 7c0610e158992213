#include "settings/wide_path_win.h"

#include "mime/utf16_win.h"

#include <windows.h>

namespace wide_path {

std::wstring FromText(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(text.size());
    UINT codePage = CP_UTF8;
    int length =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length == 0) {
        codePage = CP_ACP;
        length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string ToUtf8(const std::wstring& text) {
    return mime::FromUtf16(text);
}

} // namespace wide_path
