#pragma once

#include <string>
#include <vector>

class Account;
class Messages;

namespace cli {

// What one check found, in the form the output needs.
struct Report {
    struct Entry {
        std::string from;
        std::string subject;
        std::string sizeKb; // decimal text, as the list holds it
        std::string summary;
    };

    bool failed = false;
    std::string error;
    std::string reason;      // a failure in one word (Account::GetFailureReason())
    std::string serverWords; // what the server said about it, cleaned; may be empty
    int count = 0;
    bool secure = false;  // the check ran over TLS
    bool hasList = false; // the check built a list (otherwise only the count is known)
    std::vector<Entry> entries;
};

// The list counts only when this check built it.
Report MakeReport(const Account& account, const Messages* list);

// 0 when mail is waiting, 1 when the mailbox is empty, 75 (EX_TEMPFAIL) for a failure that
// passes by itself (try again later), 2 for any other failure.
int ExitStatus(const Report& report);

// What goes to standard error for a failure: the text, and the server's words on a line of
// their own when it said any.
std::string FormatFailure(const Report& report);

// The count on one line, then one line per message: number, size, From and Subject
// separated by tabs, in UTF-8; control characters shown as \xHH (\u00HH for C1), as is any
// byte that is not UTF-8. Nothing for a failure (that goes to standard error).
std::string FormatText(const Report& report);

// One JSON object in UTF-8 followed by a line end; "secure":true when the check ran over TLS.
// A failure: "status", "error", "reason" and, when the server said why, "server".
std::string FormatJson(const Report& report);

// A JSON string literal of UTF-8 text, control characters (C0, DEL, C1) escaped; a byte
// that is not UTF-8 is read as Latin-1.
std::string JsonString(const std::string& text);

} // namespace cli
