#pragma once

#include <string>
#include <string_view>

// The response code a server may put in brackets right after "-ERR" (RFC 2449 section 8,
// RFC 3206), and what a refusal means for a mail check: whether trying again later helps.
namespace pop3 {

enum class ResponseCode { None, InUse, LoginDelay, SysTemp, SysPerm, Auth };

struct ErrReply {
    ResponseCode code = ResponseCode::None;
    // The server's own words after the code, printable ASCII only, trimmed.
    std::string text;
};

// Reads a "-ERR" status line. The code counts only where it opens the text, as a whole
// bracketed word in any case; a code inside the text, or one not known here, is none. A
// code with further levels ("[SYS/TEMP/DISK]") counts as its known beginning.
ErrReply ReadErrReply(std::string_view statusLine);

enum class FaultKind {
    None,
    Passing,     // gone by itself later: no connection, a time limit, a busy mailbox
    Credentials, // the login was refused
    Permanent,   // the server or the session cannot go on, whatever the password
    Certificate, // the server's certificate was not trusted
};

// The kind of a refusal by the server; toLogin: the answer to USER or PASS, which without
// a code refuses the credentials.
FaultKind KindOfRefusal(ResponseCode code, bool toLogin);

// Why a check failed, as the check cycle and the command-line checker tell it.
struct Fault {
    FaultKind kind = FaultKind::None;
    ResponseCode code = ResponseCode::None;
    std::string serverText;
};

} // namespace pop3
