#include "settings/ini_document.h"

namespace {

enum class Kind { Other, Section, Entry };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;
    std::size_t valueStart = 0; // Entry: just past the '='
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

Parsed Classify(std::string_view line) {
    Parsed parsed;
    std::size_t first = 0;
    while (first < line.size() && IsBlank(line[first]))
        ++first;
    if (first == line.size() || line[first] == ';' || line[first] == '#')
        return parsed;
    if (line[first] == '[') {
        // A header without its ']' still starts a section, so that its keys never count
        // as the previous section's.
        const auto close = line.find(']', first + 1);
        const auto end = close == std::string_view::npos ? line.size() : close;
        parsed.kind = Kind::Section;
        parsed.name = Trim(line.substr(first + 1, end - first - 1));
        return parsed;
    }
    const auto equals = line.find('=', first);
    if (equals == std::string_view::npos)
        return parsed;
    parsed.name = Trim(line.substr(first, equals - first));
    if (parsed.name.empty())
        return parsed;
    parsed.kind = Kind::Entry;
    parsed.valueStart = equals + 1;
    return parsed;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

#ifdef _WIN32
constexpr const char* kDefaultLineEnd = "\r\n";
#else
constexpr const char* kDefaultLineEnd = "\n";
#endif

} // namespace

IniDocument::IniDocument(const std::string& text) : m_lineEnd(kDefaultLineEnd) {
    std::size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        m_bom = text.substr(0, 3);
        pos = 3;
    }
    bool firstLine = true;
    while (pos < text.size()) {
        const auto newline = text.find('\n', pos);
        Line line;
        if (newline == std::string::npos) {
            // Bare CRs ending the file are a line end too, whatever wrote them: kept as this
            // last line's end, never as part of its value, so that a line added after it
            // cannot turn one of them into the CR of a CR LF and shorten the value.
            std::size_t end = text.size();
            while (end > pos && text[end - 1] == '\r')
                --end;
            line.text = text.substr(pos, end - pos);
            line.end = text.substr(end);
            pos = text.size();
        } else {
            std::size_t end = newline;
            if (end > pos && text[end - 1] == '\r')
                --end;
            line.text = text.substr(pos, end - pos);
            line.end = text.substr(end, newline + 1 - end);
            pos = newline + 1;
            // New lines follow the file's own convention.
            if (firstLine)
                m_lineEnd = line.end;
            firstLine = false;
        }
        m_lines.push_back(std::move(line));
    }
}

std::size_t IniDocument::FindEntry(std::string_view section, std::string_view key) const {
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Parsed parsed = Classify(m_lines[i].text);
        if (parsed.kind == Kind::Section)
            inSection = SameName(parsed.name, section);
        else if (inSection && parsed.kind == Kind::Entry && SameName(parsed.name, key))
            return i;
    }
    return std::string::npos;
}

bool IniDocument::Find(std::string_view section, std::string_view key, std::string& value) const {
    const auto index = FindEntry(section, key);
    if (index == std::string::npos)
        return false;
    const std::string& text = m_lines[index].text;
    value = DecodeValue(std::string_view(text).substr(Classify(text).valueStart));
    return true;
}

void IniDocument::Set(std::string_view section, std::string_view key, const std::string& value) {
    const std::string encoded = EncodeValue(value);
    const auto index = FindEntry(section, key);
    if (index != std::string::npos) {
        // Keeps the key as the file spells it.
        std::string& text = m_lines[index].text;
        text = text.substr(0, Classify(text).valueStart) + encoded;
        return;
    }
    Line entry{std::string(Trim(key)) + "=" + encoded, m_lineEnd};
    std::size_t insertAt = std::string::npos;
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Parsed parsed = Classify(m_lines[i].text);
        if (parsed.kind == Kind::Section) {
            if (insertAt != std::string::npos)
                break;
            inSection = SameName(parsed.name, Trim(section));
            if (inSection)
                insertAt = i + 1;
        } else if (inSection && parsed.kind == Kind::Entry) {
            insertAt = i + 1;
        }
    }
    if (insertAt == std::string::npos) {
        m_lines.push_back(Line{"[" + std::string(Trim(section)) + "]", m_lineEnd});
        insertAt = m_lines.size();
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
}

std::string IniDocument::Text() const {
    std::string text = m_bom;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        text += m_lines[i].text;
        // Only the old last line can lack an end, or end in bare CRs that no reader takes
        // for a break; once something follows it, it needs a real one.
        const std::string& end = m_lines[i].end;
        const bool lastOnly = end.find('\n') == std::string::npos;
        text += lastOnly && i + 1 < m_lines.size() ? m_lineEnd : end;
    }
    return text;
}

std::string IniDocument::EncodeValue(const std::string& value) {
    bool quote =
        !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"');
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            quote = true;
    if (!quote)
        return value;

    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded = "\"";
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            encoded += "\\\\";
            break;
        case '"':
            encoded += "\\\"";
            break;
        case '\r':
            encoded += "\\r";
            break;
        case '\n':
            encoded += "\\n";
            break;
        case '\t':
            encoded += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                encoded += "\\x";
                encoded += kHex[byte >> 4];
                encoded += kHex[byte & 15];
            } else {
                encoded += c;
            }
        }
    }
    encoded += '"';
    return encoded;
}

std::string IniDocument::DecodeValue(std::string_view raw) {
    raw = Trim(raw);
    if (raw.empty() || raw.front() != '"')
        return std::string(raw);
    std::string value;
    // An unknown escape stays as written, and a missing closing quote ends the value at the
    // end of the line: a hand-edited file still loads.
    for (std::size_t i = 1; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"')
            break;
        if (c != '\\' || i + 1 == raw.size()) {
            value += c;
            continue;
        }
        const char next = raw[i + 1];
        switch (next) {
        case '\\':
            value += '\\';
            ++i;
            break;
        case '"':
            value += '"';
            ++i;
            break;
        case 'r':
            value += '\r';
            ++i;
            break;
        case 'n':
            value += '\n';
            ++i;
            break;
        case 't':
            value += '\t';
            ++i;
            break;
        case 'x':
            if (i + 3 < raw.size() && HexDigit(raw[i + 2]) >= 0 && HexDigit(raw[i + 3]) >= 0) {
                value += static_cast<char>(HexDigit(raw[i + 2]) * 16 + HexDigit(raw[i + 3]));
                i += 3;
                break;
            }
            value += c;
            break;
        default:
            value += c;
            break;
        }
    }
    return value;
}

bool IniDocument::IsValidName(std::string_view name, bool isSection) {
    if (Trim(name).empty())
        return false;
    for (const char c : name)
        if (c == '\r' || c == '\n' || c == '\0' || (isSection ? c == ']' : c == '='))
            return false;
    if (isSection)
        return true;
    const char first = Trim(name).front();
    return first != '[' && first != ';' && first != '#';
}
