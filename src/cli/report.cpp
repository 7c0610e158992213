#include "cli/report.h"

#include "mime/utf8.h"
#include "pop3/messages.h"
#include "settings/account.h"

namespace cli {

namespace {

const char kHex[] = "0123456789abcdef";

std::string Escaped(const char* prefix, unsigned char code) {
    return prefix + std::string{kHex[code >> 4], kHex[code & 0xf]};
}

// The C1 control U+0080..U+009F as UTF-8 at text[i] (a sequence of `length`), else -1.
int C1Control(const std::string& text, std::size_t i, std::size_t length) {
    const auto second = length == 2 ? static_cast<unsigned char>(text[i + 1]) : 0;
    return static_cast<unsigned char>(text[i]) == 0xc2 && second >= 0x80 && second <= 0x9f ? second
                                                                                           : -1;
}

// Keeps one message on one line whatever its headers hold, and keeps a header from
// driving the terminal or status bar: control characters (C0, DEL, C1) become visible
// escapes, as does any byte that is not UTF-8.
std::string OneLine(const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = mime::Utf8SequenceLength(text, i);
        if (byte == '\t' || byte == '\r' || byte == '\n') {
            line += ' ';
        } else if (byte < 0x20 || byte == 0x7f || length == 0) {
            line += Escaped("\\x", byte);
        } else if (const int c1 = C1Control(text, i, length); c1 >= 0) {
            line += Escaped("\\u00", static_cast<unsigned char>(c1));
        } else {
            line.append(text, i, length);
        }
        i += length == 0 ? 1 : length;
    }
    return line;
}

} // namespace

Report MakeReport(const Account& account, const Messages* list) {
    Report report;
    report.count = account.m_MessageCount;
    report.secure = account.WasSecure();
    switch (account.GetStatus()) {
    case Account::CheckFailed:
        report.failed = true;
        report.error = account.GetErrorText();
        report.reason = account.GetFailureReason();
        report.serverWords = account.GetFault().serverText;
        break;
    case Account::ListRebuilt:
        report.hasList = list != nullptr;
        break;
    default:
        break;
    }
    if (report.hasList) {
        for (int i = 0; i < list->GetCount(); ++i) {
            report.entries.push_back(
                {list->GetFrom(i), list->GetSubject(i), list->GetSize(i), list->GetSummary(i)});
        }
    }
    return report;
}

int ExitStatus(const Report& report) {
    if (report.failed) {
        for (const char* passing : {"in-use", "login-delay", "temporary", "network", "timeout"}) {
            if (report.reason == passing) {
                return 75;
            }
        }
        return 2;
    }
    return report.count > 0 ? 0 : 1;
}

std::string FormatFailure(const Report& report) {
    std::string out = report.error + "\n";
    if (!report.serverWords.empty()) {
        out += "The server said: " + report.serverWords + "\n";
    }
    return out;
}

std::string FormatText(const Report& report) {
    if (report.failed) {
        return std::string();
    }
    std::string out;
    if (report.count == 0) {
        out = "No messages waiting.\n";
    } else if (report.count == 1) {
        out = "1 message waiting.\n";
    } else {
        out = std::to_string(report.count) + " messages waiting.\n";
    }
    int number = 1;
    for (const Report::Entry& entry : report.entries) {
        out += std::to_string(number++) + "\t" + entry.sizeKb + " KB\t" + OneLine(entry.from) +
               "\t" + OneLine(entry.subject) + "\n";
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = mime::Utf8SequenceLength(text, i);
        i += length == 0 ? 1 : length;
        switch (byte) {
        case '"':
            out += "\\\"";
            continue;
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (length == 1 && byte >= 0x20 && byte != 0x7f) {
            out += static_cast<char>(byte);
        } else if (length > 1) {
            const int c1 = C1Control(text, i - length, length);
            if (c1 >= 0) {
                out += Escaped("\\u00", static_cast<unsigned char>(c1));
            } else {
                out.append(text, i - length, length);
            }
        } else if (byte <= 0x9f) {
            // C0, DEL, and a stray byte that Latin-1 reads as a C1 control.
            out += Escaped("\\u00", byte);
        } else {
            mime::AppendUtf8(out, byte); // a stray byte, read as Latin-1
        }
    }
    out += "\"";
    return out;
}

std::string FormatJson(const Report& report) {
    if (report.failed) {
        std::string out = "{\"status\":\"failed\",\"error\":" + JsonString(report.error);
        out += ",\"reason\":" + JsonString(report.reason);
        if (!report.serverWords.empty()) {
            out += ",\"server\":" + JsonString(report.serverWords);
        }
        return out + "}\n";
    }
    std::string out = "{\"status\":";
    out += report.count > 0 ? "\"mail\"" : "\"empty\"";
    out += ",\"count\":" + std::to_string(report.count);
    if (report.secure) {
        out += ",\"secure\":true";
    }
    if (report.hasList) {
        out += ",\"messages\":[";
        int number = 1;
        for (const Report::Entry& entry : report.entries) {
            if (number > 1) {
                out += ",";
            }
            out += "{\"number\":" + std::to_string(number++);
            out += ",\"from\":" + JsonString(entry.from);
            out += ",\"subject\":" + JsonString(entry.subject);
            // The list holds the size as text; a non-number would break the JSON.
            const bool numeric = !entry.sizeKb.empty() &&
                                 entry.sizeKb.find_first_not_of("0123456789") == std::string::npos;
            out += ",\"size_kb\":" + (numeric ? entry.sizeKb : std::string("0"));
            out += ",\"summary\":" + JsonString(entry.summary) + "}";
        }
        out += "]";
    }
    out += "}\n";
    return out;
}

} // namespace cli
