#include "mime/charset.h"

#include "mime/charset_convert.h"
#include "mime/transfer_encoding.h"
#include "mime/utf8.h"

#include <cctype>

namespace mime {

namespace {

struct Entry {
    // Compared after Normalized(): lower case, letters and digits only.
    const char* names[12];
    Charset charset;
};

// ISO-8859-1 and US-ASCII are read as windows-1252, as browsers do: mailers label their
// windows-1252 text so. The code pages are Windows' own; 0 where Windows has none.
// ISO-2022-JP and EUC-JP have no system code page conversion but one through MLang.
const Entry kCharsets[] = {
    {{"windows1252", "cp1252", "xcp1252", "iso88591", "latin1", "l1", "cp819", "ibm819", "isoir100",
      "usascii", "ascii", "ansix341968"},
     {"WINDOWS-1252", 1252, 0}},
    {{"iso88592", "latin2", "l2", "isoir101"}, {"ISO-8859-2", 28592, 0}},
    {{"iso88593", "latin3", "l3", "isoir109"}, {"ISO-8859-3", 28593, 0}},
    {{"iso88594", "latin4", "l4", "isoir110"}, {"ISO-8859-4", 28594, 0}},
    {{"iso88595", "cyrillic", "isoir144"}, {"ISO-8859-5", 28595, 0}},
    {{"iso88596", "arabic", "isoir127", "iso88596i", "iso88596e"}, {"ISO-8859-6", 28596, 0}},
    {{"iso88597", "greek", "greek8", "isoir126"}, {"ISO-8859-7", 28597, 0}},
    {{"iso88598", "hebrew", "isoir138", "iso88598i", "iso88598e"}, {"ISO-8859-8", 28598, 0}},
    {{"iso88599", "latin5", "l5", "isoir148"}, {"ISO-8859-9", 28599, 0}},
    {{"iso885910", "latin6", "l6", "isoir157"}, {"ISO-8859-10", 0, 0}},
    {{"iso885911", "tis620", "windows874", "cp874", "xcp874"}, {"CP874", 874, 0}},
    {{"iso885913", "latin7", "l7"}, {"ISO-8859-13", 28603, 0}},
    {{"iso885914", "latin8", "l8"}, {"ISO-8859-14", 0, 0}},
    {{"iso885915", "latin9", "l9", "latin0"}, {"ISO-8859-15", 28605, 0}},
    {{"iso885916", "latin10", "l10"}, {"ISO-8859-16", 0, 0}},
    {{"windows1250", "cp1250", "xcp1250"}, {"WINDOWS-1250", 1250, 0}},
    {{"windows1251", "cp1251", "xcp1251"}, {"WINDOWS-1251", 1251, 0}},
    {{"windows1253", "cp1253", "xcp1253"}, {"WINDOWS-1253", 1253, 0}},
    {{"windows1254", "cp1254", "xcp1254"}, {"WINDOWS-1254", 1254, 0}},
    {{"windows1255", "cp1255", "xcp1255"}, {"WINDOWS-1255", 1255, 0}},
    {{"windows1256", "cp1256", "xcp1256"}, {"WINDOWS-1256", 1256, 0}},
    {{"windows1257", "cp1257", "xcp1257"}, {"WINDOWS-1257", 1257, 0}},
    {{"windows1258", "cp1258", "xcp1258"}, {"WINDOWS-1258", 1258, 0}},
    {{"koi8r", "koi8", "cskoi8r"}, {"KOI8-R", 20866, 0}},
    {{"ibm866", "cp866", "866", "csibm866"}, {"CP866", 866, 0}},
    {{"macintosh", "xmacroman", "mac", "csmacintosh"}, {"MACINTOSH", 10000, 0}},
    {{"koi8u", "koi8ru"}, {"KOI8-U", 21866, 0}},
    {{"iso2022jp", "csiso2022jp"}, {"ISO-2022-JP-2", 50220, 0}},
    // The Microsoft forms are what mailers send under these names.
    {{"shiftjis", "sjis", "xsjis", "csshiftjis", "mskanji", "windows31j", "cp932", "ms932"},
     {"CP932", 932, 0}},
    {{"eucjp", "xeucjp", "cseucpkdfmtjapanese"}, {"EUC-JP-MS", 51932, 0}},
    {{"gb2312", "csgb2312", "euccn", "xeuccn", "gb231280", "gbk", "xgbk", "cp936", "ms936",
      "windows936", "chinese"},
     {"CP936", 936, 0}},
    {{"gb18030"}, {"GB18030", 54936, 936}},
    {{"big5", "csbig5", "xxbig5", "cnbig5", "cp950", "ms950"}, {"CP950", 950, 0}},
    // Windows has no code page of its own for the Hong Kong additions; Big5 reads the rest.
    {{"big5hkscs"}, {"BIG5-HKSCS", 950, 0}},
    {{"euckr", "cseuckr", "ksc56011987", "isoir149", "korean", "cp949", "ms949", "uhc",
      "windows949"},
     {"CP949", 949, 0}},
};

std::string Normalized(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

const Charset* FindCharset(const std::string& normalized) {
    for (const Entry& entry : kCharsets) {
        for (const char* name : entry.names) {
            if (name != nullptr && normalized == name) {
                return &entry.charset;
            }
        }
    }
    return nullptr;
}

bool IsAsciiName(const std::string& normalized) {
    return normalized == "usascii" || normalized == "ascii" || normalized == "ansix341968";
}

// RFC 2152, read here rather than by the system so that every platform shows the same: a
// malformed shift costs one U+FFFD, and the text after it stays.
std::string Utf7ToUtf8(std::string_view bytes) {
    std::string out;
    unsigned long pendingHigh = 0; // a high surrogate waiting for its low one
    const auto unit = [&](unsigned long u) {
        if (pendingHigh != 0) {
            if (u >= 0xdc00 && u <= 0xdfff) {
                AppendUtf8(out, 0x10000 + ((pendingHigh - 0xd800) << 10) + (u - 0xdc00));
                pendingHigh = 0;
                return;
            }
            AppendUtf8(out, 0xfffd);
            pendingHigh = 0;
        }
        if (u >= 0xd800 && u <= 0xdbff) {
            pendingHigh = u;
        } else {
            AppendUtf8(out, u >= 0xdc00 && u <= 0xdfff ? 0xfffd : u);
        }
    };
    const auto endShift = [&] {
        if (pendingHigh != 0) {
            AppendUtf8(out, 0xfffd);
            pendingHigh = 0;
        }
    };
    for (std::size_t i = 0; i < bytes.size();) {
        const char c = bytes[i];
        if (c != '+') {
            if (static_cast<unsigned char>(c) >= 0x80) {
                AppendUtf8(out, 0xfffd);
            } else {
                out += c;
            }
            ++i;
            continue;
        }
        ++i;
        if (i < bytes.size() && bytes[i] == '-') {
            out += '+';
            ++i;
            continue;
        }
        unsigned long bits = 0;
        int count = 0;
        for (; i < bytes.size() && Base64Value(bytes[i]) >= 0; ++i) {
            bits = ((bits << 6) | static_cast<unsigned long>(Base64Value(bytes[i]))) & 0xffffff;
            count += 6;
            if (count >= 16) {
                count -= 16;
                unit((bits >> count) & 0xffff);
            }
        }
        endShift();
        if (i < bytes.size() && bytes[i] == '-') {
            ++i; // absorbed: it only ends the shift
        }
    }
    return out;
}

} // namespace

bool IsUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

bool ToUtf8(std::string_view charset, std::string_view bytes, std::string& out) {
    // RFC 2231 lets a language follow the charset: "UTF-8*de".
    charset = charset.substr(0, charset.find('*'));
    const std::string name = Normalized(charset);
    if (name == "utf8" || name == "unicode11utf8") {
        out = ReplaceInvalidUtf8(bytes);
        return true;
    }
    if (name == "utf7" || name == "unicode11utf7" || name == "csunicode11utf7") {
        out = Utf7ToUtf8(bytes);
        return true;
    }
    // Mailers label UTF-8 so when they never looked at the text.
    if (IsAsciiName(name) && IsUtf8(bytes)) {
        out = std::string(bytes);
        return true;
    }
    const Charset* found = FindCharset(name);
    return found != nullptr && PlatformToUtf8(*found, bytes, out);
}

std::string Utf8OrWindows1252(std::string_view bytes) {
    std::string out;
    if (IsUtf8(bytes) || !ToUtf8("windows-1252", bytes, out)) {
        return std::string(bytes);
    }
    return out;
}

} // namespace mime
