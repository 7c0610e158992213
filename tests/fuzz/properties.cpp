#include "properties.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "pop3/scratch_folder.h"

namespace fuzz {

namespace {

// Code point of the well-formed sequence at text[i] and its length, or length 0.
std::size_t DecodeAt(std::string_view text, std::size_t i, unsigned long& point) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    std::size_t length;
    unsigned long min;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, point = lead & 0x1f, min = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, point = lead & 0x0f, min = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, point = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xc0) != 0x80)
            return 0;
        point = point << 6 | (byte(k) & 0x3f);
    }
    if (point < min || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff))
        return 0;
    return length;
}

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : m_text(text) {}

    bool Document(std::string& why) {
        const bool ok = Value(0) && (Blanks(), m_at == m_text.size() || Fault("text after"));
        why = m_why;
        return ok;
    }

private:
    bool Fault(const char* what) {
        if (m_why.empty())
            m_why = std::string(what) + " at " + std::to_string(m_at);
        return false;
    }
    bool More() const { return m_at < m_text.size(); }
    char Peek() const { return More() ? m_text[m_at] : '\0'; }
    void Blanks() {
        while (More() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
            ++m_at;
    }
    bool Literal(std::string_view word) {
        if (m_text.substr(m_at, word.size()) != word)
            return Fault("bad literal");
        m_at += word.size();
        return true;
    }
    static bool Digit(char c) { return c >= '0' && c <= '9'; }
    bool Number() {
        if (Peek() == '-')
            ++m_at;
        if (Peek() == '0') {
            ++m_at;
        } else if (Digit(Peek())) {
            while (Digit(Peek()))
                ++m_at;
        } else {
            return Fault("bad number");
        }
        if (Peek() == '.') {
            ++m_at;
            if (!Digit(Peek()))
                return Fault("bad fraction");
            while (Digit(Peek()))
                ++m_at;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++m_at;
            if (Peek() == '+' || Peek() == '-')
                ++m_at;
            if (!Digit(Peek()))
                return Fault("bad exponent");
            while (Digit(Peek()))
                ++m_at;
        }
        return true;
    }
    bool String() {
        ++m_at; // the opening quote
        while (More()) {
            const auto c = static_cast<unsigned char>(Peek());
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (c < 0x20)
                return Fault("raw control character in a string");
            if (c == '\\') {
                ++m_at;
                const char e = Peek();
                if (e == 'u') {
                    for (int k = 1; k <= 4; ++k) {
                        const char h = m_at + k < m_text.size() ? m_text[m_at + k] : '\0';
                        if (!Digit(h) && !((h >= 'a' && h <= 'f') || (h >= 'A' && h <= 'F')))
                            return Fault("bad \\u escape");
                    }
                    m_at += 5;
                } else if (e != '"' && e != '\\' && e != '/' && e != 'b' && e != 'f' && e != 'n' &&
                           e != 'r' && e != 't') {
                    return Fault("bad escape");
                } else {
                    ++m_at;
                }
                continue;
            }
            ++m_at;
        }
        return Fault("unterminated string");
    }
    template <class Item> bool Sequence(char close, Item item) {
        ++m_at; // the opening bracket
        Blanks();
        if (Peek() == close) {
            ++m_at;
            return true;
        }
        for (;;) {
            if (!item())
                return false;
            Blanks();
            if (Peek() == close) {
                ++m_at;
                return true;
            }
            if (Peek() != ',')
                return Fault("expected , or a closing bracket");
            ++m_at;
        }
    }
    bool Value(int depth) {
        if (depth > 64)
            return Fault("nested too deep");
        Blanks();
        switch (Peek()) {
        case '{':
            return Sequence('}', [&] {
                Blanks();
                if (Peek() != '"')
                    return Fault("expected a name");
                if (!String())
                    return false;
                Blanks();
                if (Peek() != ':')
                    return Fault("expected :");
                ++m_at;
                return Value(depth + 1);
            });
        case '[':
            return Sequence(']', [&] { return Value(depth + 1); });
        case '"':
            return String();
        case 't':
            return Literal("true");
        case 'f':
            return Literal("false");
        case 'n':
            return Literal("null");
        default:
            return Number();
        }
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    std::string m_why;
};

} // namespace

void Require(bool holds, const std::string& what, std::string_view subject) {
    if (holds)
        return;
    std::fprintf(stderr, "property failed: %s\n--- in:\n%.*s\n---\n", what.c_str(),
                 static_cast<int>(subject.size() < 4096 ? subject.size() : 4096), subject.data());
    std::abort();
}

const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        // libFuzzer ends a run without exit handlers, so each run's folder is left to the
        // next one's sweep, as a killed check's scratch folder is.
        pop3::RemoveAbandonedScratchFolders();
        const std::filesystem::path path =
            std::filesystem::path("/dev/shm") / ("tarnwick-" + std::to_string(getpid()) + "-fuzz");
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        unsigned long point = 0;
        const std::size_t length = DecodeAt(text, i, point);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool IsJson(std::string_view text, std::string& why) {
    return JsonReader(text).Document(why);
}

std::size_t FirstControl(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        unsigned long point = 0;
        std::size_t length = DecodeAt(text, i, point);
        if (length == 0) {
            // Not UTF-8: the byte stands for itself, as in Latin-1.
            point = static_cast<unsigned char>(text[i]);
            length = 1;
        }
        const bool control =
            (point < 0x20 && point != '\t' && point != '\n') || (point >= 0x7f && point <= 0x9f);
        if (control)
            return i;
        i += length;
    }
    return std::string_view::npos;
}

} // namespace fuzz
