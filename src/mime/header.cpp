#include "mime/header.h"

#include "mime/charset.h"
#include "mime/transfer_encoding.h"

#include <cctype>

namespace mime {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsWhite(char c) {
    return IsBlank(c) || c == '\r' || c == '\n';
}

std::string_view TrimWhite(std::string_view text) {
    while (!text.empty() && IsWhite(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsWhite(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

struct EncodedWord {
    std::size_t end = 0; // just after its "?="
    std::string_view charset;
    std::string bytes;
};

// "=?charset?B|Q?text?=" at text[start]; false when the word is malformed.
bool ReadEncodedWord(std::string_view text, std::size_t start, EncodedWord& word) {
    const std::size_t charsetEnd = text.find('?', start + 2);
    if (charsetEnd == std::string_view::npos || charsetEnd == start + 2 ||
        charsetEnd + 3 > text.size() || text[charsetEnd + 2] != '?') {
        return false;
    }
    word.charset = text.substr(start + 2, charsetEnd - start - 2);
    for (char c : word.charset) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '=' || c == '"') {
            return false;
        }
    }
    const char encoding =
        static_cast<char>(std::toupper(static_cast<unsigned char>(text[charsetEnd + 1])));
    const std::size_t textStart = charsetEnd + 3;
    const std::size_t textEnd = text.find('?', textStart);
    if (textEnd == std::string_view::npos || textEnd + 1 >= text.size() ||
        text[textEnd + 1] != '=') {
        return false;
    }
    const std::string_view encoded = text.substr(textStart, textEnd - textStart);
    for (char c : encoded) {
        if (IsWhite(c)) {
            return false;
        }
    }
    word.end = textEnd + 2;
    if (encoding == 'B') {
        return DecodeBase64Strict(encoded, word.bytes);
    }
    if (encoding == 'Q') {
        return DecodeQWord(encoded, word.bytes);
    }
    return false;
}

// Adjacent encoded words of one charset are converted together: mailers split a
// multi-byte character across two words.
class Decoder {
public:
    Decoder(std::string_view value, bool quoteAddressLike)
        : m_value(value), m_quoteAddressLike(quoteAddressLike) {}

    std::string Run() {
        std::size_t plainStart = 0;
        for (std::size_t at = m_value.find("=?"); at != std::string_view::npos;
             at = m_value.find("=?", at)) {
            EncodedWord word;
            if (!ReadEncodedWord(m_value, at, word)) {
                at += 2;
                continue;
            }
            const std::string_view between = m_value.substr(plainStart, at - plainStart);
            if (m_runActive && TrimWhite(between).empty()) {
                if (!SameCharset(word.charset)) {
                    FlushRun();
                    StartRun(at, word);
                    m_runLead = between;
                } else {
                    m_runBytes += word.bytes;
                }
            } else {
                FlushRun();
                m_lastFailed = false;
                m_out += Utf8OrWindows1252(between);
                StartRun(at, word);
            }
            m_runEnd = word.end;
            plainStart = at = word.end;
        }
        FlushRun();
        m_out += Utf8OrWindows1252(m_value.substr(plainStart));
        return m_out;
    }

private:
    bool SameCharset(std::string_view charset) const {
        return EqualsNoCase(charset.substr(0, charset.find('*')),
                            m_runCharset.substr(0, m_runCharset.find('*')));
    }

    void StartRun(std::size_t start, const EncodedWord& word) {
        m_runActive = true;
        m_runLead = std::string_view();
        m_runStart = start;
        m_runCharset = word.charset;
        m_runBytes = word.bytes;
    }

    void FlushRun() {
        if (!m_runActive) {
            return;
        }
        m_runActive = false;
        std::string converted;
        const bool convertedOk = ToUtf8(m_runCharset, m_runBytes, converted);
        // A word left as written is plain text: the blanks next to it stay.
        if (!convertedOk || m_lastFailed) {
            m_out += m_runLead;
        }
        m_lastFailed = !convertedOk;
        if (!convertedOk) {
            m_out += Utf8OrWindows1252(m_value.substr(m_runStart, m_runEnd - m_runStart));
        } else if (m_quoteAddressLike && converted.find_first_of("<>@") != std::string::npos) {
            // A name that looks like an address is shown as the name it is, so that it
            // cannot pass for the address that follows it.
            m_out += '"';
            for (const char c : converted) {
                m_out += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
            }
            m_out += '"';
        } else {
            m_out += converted;
        }
    }

    std::string_view m_value;
    bool m_quoteAddressLike;
    std::string m_out;
    bool m_runActive = false;
    std::size_t m_runStart = 0;
    std::size_t m_runEnd = 0;
    std::string_view m_runCharset;
    std::string m_runBytes;
    std::string_view m_runLead; // the blanks before a run that follows another
    bool m_lastFailed = false;
};

} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool SplitAtEmptyLine(std::string_view entity, std::string_view& headers, std::string_view& body) {
    for (std::size_t start = 0; start < entity.size();) {
        const std::size_t newline = entity.find('\n', start);
        if (newline == std::string_view::npos) {
            break;
        }
        if (newline == start || (newline == start + 1 && entity[start] == '\r')) {
            headers = entity.substr(0, start);
            body = entity.substr(newline + 1);
            return true;
        }
        start = newline + 1;
    }
    return false;
}

std::vector<HeaderField> ParseHeaderBlock(std::string_view block) {
    std::vector<HeaderField> fields;
    bool continuable = false;
    while (!block.empty()) {
        const std::size_t newline = block.find('\n');
        std::string_view line = block.substr(0, newline);
        block.remove_prefix(newline == std::string_view::npos ? block.size() : newline + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty() && IsBlank(line.front())) {
            // Unfolding removes only the line break; the blanks stay.
            if (continuable) {
                fields.back().value += line;
            }
            continue;
        }
        const std::size_t colon = line.find(':');
        std::string_view name =
            colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
        while (!name.empty() && IsBlank(name.back())) {
            name.remove_suffix(1);
        }
        continuable = !name.empty();
        if (continuable) {
            fields.push_back({std::string(name), std::string(line.substr(colon + 1))});
        }
    }
    for (HeaderField& field : fields) {
        field.value = std::string(TrimWhite(field.value));
    }
    return fields;
}

std::string FieldValue(const std::vector<HeaderField>& fields, std::string_view name) {
    for (auto it = fields.rbegin(); it != fields.rend(); ++it) {
        if (EqualsNoCase(it->name, name)) {
            return it->value;
        }
    }
    return std::string();
}

std::string DecodeHeaderText(std::string_view value) {
    return Decoder(value, false).Run();
}

std::string DecodeAddressText(std::string_view value) {
    return Decoder(value, true).Run();
}

} // namespace mime
