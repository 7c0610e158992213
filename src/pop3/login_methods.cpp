#include "pop3/login_methods.h"

#include "mime/transfer_encoding.h"
#include "pop3/md5.h"

namespace pop3 {

namespace {

// Long enough for any real msg-id; a greeting is one line of at most 512 octets anyway.
constexpr std::size_t kLongestTimestamp = 510;

} // namespace

const char* LoginMethodName(LoginMethod method) {
    return method == LoginMethod::Encrypted ? "encrypted" : "normal";
}

bool ParseLoginMethod(const std::string& name, LoginMethod& method) {
    for (const LoginMethod m : {LoginMethod::Normal, LoginMethod::Encrypted}) {
        if (name == LoginMethodName(m)) {
            method = m;
            return true;
        }
    }
    return false;
}

std::string EncodeBase64(std::string_view bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const unsigned a = static_cast<unsigned char>(bytes[i]);
        const unsigned b = left > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        const unsigned c = left > 2 ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        const unsigned group = a << 16 | b << 8 | c;
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += left > 1 ? kAlphabet[group >> 6 & 63] : '=';
        out += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::string ApopTimestamp(std::string_view greeting) {
    const std::size_t open = greeting.find('<');
    if (open == std::string_view::npos) {
        return {};
    }
    const std::size_t close = greeting.find('>', open);
    if (close == std::string_view::npos || close - open + 1 > kLongestTimestamp) {
        return {};
    }
    const std::string_view stamp = greeting.substr(open, close - open + 1);
    // A msg-id: visible characters with an "@", nothing that could end or split the line.
    bool at = false;
    for (std::size_t i = 1; i + 1 < stamp.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(stamp[i]);
        if (c <= 0x20 || c >= 0x7f || c == '<') {
            return {};
        }
        at = at || c == '@';
    }
    return at ? std::string(stamp) : std::string();
}

std::string ApopDigest(std::string_view timestamp, std::string_view password) {
    std::string text(timestamp);
    text.append(password);
    return ToHex(Md5(text));
}

bool CramMd5Response(std::string_view challenge, std::string_view user, std::string_view password,
                     std::string& response) {
    std::string decoded;
    if (!mime::DecodeBase64Strict(challenge, decoded)) {
        return false;
    }
    std::string answer(user);
    answer += ' ';
    answer += ToHex(HmacMd5(password, decoded));
    response = EncodeBase64(answer);
    return true;
}

std::string SaslPlainResponse(std::string_view user, std::string_view password) {
    std::string message(1, '\0');
    message.append(user);
    message += '\0';
    message.append(password);
    return EncodeBase64(message);
}

} // namespace pop3
