#include "pop3/response_code.h"

namespace pop3 {

namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCase(std::string_view text) {
    std::string out;
    for (char c : text)
        out += Upper(c);
    return out;
}

ResponseCode CodeOf(std::string_view bracketed) {
    const std::string code = UpperCase(bracketed);
    struct Known {
        const char* name;
        ResponseCode code;
    };
    static const Known known[] = {{"IN-USE", ResponseCode::InUse},
                                  {"LOGIN-DELAY", ResponseCode::LoginDelay},
                                  {"SYS/TEMP", ResponseCode::SysTemp},
                                  {"SYS/PERM", ResponseCode::SysPerm},
                                  {"AUTH", ResponseCode::Auth}};
    for (const Known& k : known) {
        const std::string_view name = k.name;
        if (code == name || (code.size() > name.size() && code.compare(0, name.size(), name) == 0 &&
                             code[name.size()] == '/'))
            return k.code;
    }
    return ResponseCode::None;
}

std::string Printable(std::string_view text) {
    std::string out;
    for (char c : text)
        out += (c >= 0x20 && c < 0x7F) ? c : ' ';
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

} // namespace

ErrReply ReadErrReply(std::string_view line) {
    ErrReply reply;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.size() < 4 || UpperCase(line.substr(0, 4)) != "-ERR")
        return reply;
    std::string_view rest = line.substr(4);
    if (rest.empty() || rest.front() != ' ') {
        reply.text = Printable(rest);
        return reply;
    }
    rest.remove_prefix(1);
    const auto close = rest.find(']');
    if (!rest.empty() && rest.front() == '[' && close != std::string_view::npos) {
        const std::string_view inside = rest.substr(1, close - 1);
        // A word of its own: no blank inside the brackets, and none glued on after them.
        const bool word = inside.find(' ') == std::string_view::npos &&
                          (close + 1 == rest.size() || rest[close + 1] == ' ');
        if (word) {
            reply.code = CodeOf(inside);
            if (reply.code != ResponseCode::None)
                rest.remove_prefix(close + 1);
        }
    }
    reply.text = Printable(rest);
    return reply;
}

FaultKind KindOfRefusal(ResponseCode code, bool toLogin) {
    switch (code) {
    case ResponseCode::InUse:
    case ResponseCode::LoginDelay:
    case ResponseCode::SysTemp:
        return FaultKind::Passing;
    case ResponseCode::SysPerm:
        return FaultKind::Permanent;
    case ResponseCode::Auth:
        return FaultKind::Credentials;
    case ResponseCode::None:
        break;
    }
    return toLogin ? FaultKind::Credentials : FaultKind::Permanent;
}

} // namespace pop3
