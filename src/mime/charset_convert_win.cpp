#include "mime/charset_convert.h"

#include "mime/utf16_win.h"

#include <windows.h>

#include <climits>

namespace mime {

namespace {

bool FromCodePage(unsigned codePage, std::string_view bytes, std::wstring& wide) {
    if (codePage == 0 || !::IsValidCodePage(codePage)) {
        return false;
    }
    wide.clear();
    if (bytes.empty()) {
        return true;
    }
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide.resize(static_cast<std::size_t>(length));
    return ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length) == length;
}

// The MLang library converts the charsets that have no system code page conversion on
// every Windows (ISO-2022-JP, EUC-JP). It is a system library, loaded only when needed.
class MLang {
public:
    // From the system folder only: a library of that name beside the program (a portable
    // copy in Downloads) must not be taken. Never freed: a check thread may convert while the
    // process ends.
    MLang() {
        wchar_t system[MAX_PATH] = {};
        const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return;
        }
        const std::wstring path = std::wstring(system, length) + L"\\mlang.dll";
        HMODULE module = ::LoadLibraryW(path.c_str());
        if (module != nullptr) {
            m_convert = reinterpret_cast<ConvertFn>(
                reinterpret_cast<void*>(::GetProcAddress(module, "ConvertINetMultiByteToUnicode")));
        }
    }
    MLang(const MLang&) = delete;
    MLang& operator=(const MLang&) = delete;

    bool Convert(unsigned codePage, std::string_view bytes, std::wstring& wide) const {
        if (m_convert == nullptr || codePage == 0) {
            return false;
        }
        wide.clear();
        if (bytes.empty()) {
            return true;
        }
        // A multi-byte text never widens to more characters than it has bytes.
        wide.resize(bytes.size());
        DWORD mode = 0;
        INT inLength = static_cast<INT>(bytes.size());
        INT outLength = static_cast<INT>(wide.size());
        if (m_convert(&mode, codePage, bytes.data(), &inLength, wide.data(), &outLength) != S_OK ||
            outLength < 0) {
            return false;
        }
        wide.resize(static_cast<std::size_t>(outLength));
        return true;
    }

private:
    using ConvertFn = HRESULT(WINAPI*)(LPDWORD, DWORD, LPCSTR, LPINT, LPWSTR, LPINT);
    ConvertFn m_convert = nullptr;
};

// Loaded once: a mailbox in Japanese would otherwise load it for every header.
const MLang& TheMLang() {
    static const MLang mlang;
    return mlang;
}

} // namespace

bool PlatformToUtf8(const Charset& charset, std::string_view bytes, std::string& out) {
    if (bytes.size() > INT_MAX) {
        return false;
    }
    std::wstring wide;
    if (!FromCodePage(charset.codePage, bytes, wide) &&
        !FromCodePage(charset.fallbackCodePage, bytes, wide) &&
        !TheMLang().Convert(charset.codePage, bytes, wide)) {
        return false;
    }
    out = FromUtf16(wide);
    return true;
}

} // namespace mime
