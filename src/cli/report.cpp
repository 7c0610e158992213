#include "cli/report.h"

#include "pop3/messages.h"
#include "settings/account.h"

namespace cli {

namespace {

const char kHex[] = "0123456789abcdef";

std::string Escaped(const char* prefix, unsigned char code) {
    return prefix + std::string{kHex[code >> 4], kHex[code & 0xf]};
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when there is none.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xc2 && lead <= 0xdf   ? 2
                               : lead >= 0xe0 && lead <= 0xef ? 3
                               : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                              : 0;
    if (length == 0 || i + length > text.size()) {
        return 0;
    }
    // RFC 3629's table: no overlong forms, no surrogates, nothing past U+10FFFF. Taken for
    // UTF-8, an overlong form would pass its C1 bytes raw to a terminal that reads Latin-1.
    const auto second = static_cast<unsigned char>(text[i + 1]);
    const unsigned char low = lead == 0xe0 ? 0xa0 : lead == 0xf0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// Keeps one message on one line whatever its headers hold, and keeps a header from
// driving the terminal or status bar: control characters (C0, DEL, and C1 whether as a
// byte or in UTF-8) become visible escapes. UTF-8 and Latin-1 text passes unchanged.
std::string OneLine(const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\t' || byte == '\r' || byte == '\n') {
            line += ' ';
        } else if (byte < 0x20 || byte == 0x7f) {
            line += Escaped("\\x", byte);
        } else if (byte >= 0x80) {
            const std::size_t length = Utf8Length(text, i);
            const auto second = length == 2 ? static_cast<unsigned char>(text[i + 1]) : 0;
            if (byte == 0xc2 && second >= 0x80 && second <= 0x9f) {
                line += Escaped("\\u00", second);
            } else if (length > 0) {
                line.append(text, i, length);
            } else if (byte <= 0x9f) {
                line += Escaped("\\x", byte);
            } else {
                line += text[i];
            }
            i += length > 0 ? length : 1;
            continue;
        } else {
            line += text[i];
        }
        ++i;
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
        return 2;
    }
    return report.count > 0 ? 0 : 1;
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
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0xf];
            } else if (byte >= 0x80) {
                // Latin-1 code points are the byte values; two bytes of UTF-8 each.
                out += static_cast<char>(0xc0 | (byte >> 6));
                out += static_cast<char>(0x80 | (byte & 0x3f));
            } else {
                out += c;
            }
        }
    }
    out += "\"";
    return out;
}

std::string FormatJson(const Report& report) {
    if (report.failed) {
        return "{\"status\":\"failed\",\"error\":" + JsonString(report.error) + "}\n";
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
