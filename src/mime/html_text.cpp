#include "mime/html_text.h"

#include "mime/utf8.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace mime {

namespace {

struct NamedReference {
    const char* name;
    unsigned long codePoint;
};

// The references mailers' HTML uses; any other stays as written.
const NamedReference kReferences[] = {
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
    {"nbsp", 0xa0},    {"copy", 0xa9},    {"reg", 0xae},     {"shy", 0xad},     {"laquo", 0xab},
    {"raquo", 0xbb},   {"euro", 0x20ac},  {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018},
    {"rsquo", 0x2019}, {"ldquo", 0x201c}, {"rdquo", 0x201d}, {"bull", 0x2022},  {"hellip", 0x2026},
    {"trade", 0x2122}, {"middot", 0xb7},  {"zwnj", 0x200c},  {"zwj", 0x200d},
};

bool IsHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string LowerName(std::string_view tag) {
    std::string name;
    for (char c : tag) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            break;
        }
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

bool BreaksLine(const std::string& name) {
    static const char* const kBlocks[] = {"p",  "div",        "tr",  "li", "h1",    "h2",
                                          "h3", "h4",         "h5",  "h6", "table", "ul",
                                          "ol", "blockquote", "pre", "hr", "dd",    "dt"};
    for (const char* block : kBlocks) {
        if (name == block) {
            return true;
        }
    }
    return false;
}

class Builder {
public:
    void Text(std::string_view text) {
        for (char c : text) {
            if (IsHtmlSpace(c)) {
                m_pendingSpace = !m_out.empty() && m_out.back() != '\n';
            } else {
                Char(c);
            }
        }
    }
    void Char(char c) {
        if (m_pendingSpace) {
            m_out += ' ';
            m_pendingSpace = false;
        }
        m_out += c;
    }
    void CodePoint(unsigned long codePoint) {
        std::string bytes;
        AppendUtf8(bytes, codePoint);
        for (char c : bytes) {
            Char(c);
        }
    }
    void Break() {
        m_pendingSpace = false;
        m_out += '\n';
    }
    // A block starts on a line of its own.
    void EndLine() {
        m_pendingSpace = false;
        if (!m_out.empty() && m_out.back() != '\n') {
            m_out += '\n';
        }
    }
    std::string Take() {
        while (!m_out.empty() && m_out.back() == '\n') {
            m_out.pop_back();
        }
        return m_out;
    }

private:
    std::string m_out;
    bool m_pendingSpace = false;
};

// A character reference at html[i] ("&..."); the length taken, 0 when there is none.
std::size_t Reference(std::string_view html, std::size_t i, Builder& out) {
    // Names and numbers are short: a longer search would make a body of '&' quadratic.
    constexpr std::size_t kLongest = 10;
    const std::size_t semicolon = html.substr(i, kLongest + 1).find(';');
    if (semicolon == std::string_view::npos) {
        return 0;
    }
    const std::string_view body = html.substr(i + 1, semicolon - 1);
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string digits(body.substr(hex ? 2 : 1));
        char* end = nullptr;
        const unsigned long value = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
        if (digits.empty() || *end != '\0' || value == 0) {
            return 0;
        }
        out.CodePoint(value);
        return semicolon + 1;
    }
    for (const NamedReference& reference : kReferences) {
        if (body == reference.name) {
            out.CodePoint(reference.codePoint);
            return semicolon + 1;
        }
    }
    return 0;
}

} // namespace

std::string HtmlToText(std::string_view html) {
    Builder out;
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '&') {
            const std::size_t taken = Reference(html, i, out);
            if (taken > 0) {
                i += taken;
                continue;
            }
            out.Char(c);
            ++i;
            continue;
        }
        if (c != '<') {
            const std::size_t next = std::min(html.find_first_of("<&", i), html.size());
            out.Text(html.substr(i, next - i));
            i = next;
            continue;
        }
        if (html.compare(i, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", i + 4);
            i = end == std::string_view::npos ? html.size() : end + 3;
            continue;
        }
        // A "<" that no tag name, "/", "!" or "?" follows is text: "if a < b and c > d".
        const char after = i + 1 < html.size() ? html[i + 1] : ' ';
        if (!std::isalpha(static_cast<unsigned char>(after)) && after != '/' && after != '!' &&
            after != '?') {
            out.Text(html.substr(i, 1));
            ++i;
            continue;
        }
        const std::size_t close = html.find('>', i);
        if (close == std::string_view::npos) {
            break; // a tag cut off by the end of the lines
        }
        const bool closing = i + 1 < html.size() && html[i + 1] == '/';
        const std::string name = LowerName(html.substr(i + (closing ? 2 : 1)));
        i = close + 1;
        if (!closing &&
            (name == "script" || name == "style" || name == "head" || name == "title")) {
            // Their content is no text for the reader; skip to the closing tag.
            std::size_t at = i;
            for (;; ++at) {
                at = html.find("</", at);
                if (at == std::string_view::npos) {
                    return out.Take();
                }
                if (LowerName(html.substr(at + 2)) == name) {
                    break;
                }
            }
            const std::size_t after = html.find('>', at);
            i = after == std::string_view::npos ? html.size() : after + 1;
        } else if (name == "br") {
            out.Break();
        } else if (BreaksLine(name)) {
            out.EndLine();
        }
    }
    return out.Take();
}

} // namespace mime
