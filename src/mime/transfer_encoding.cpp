#include "mime/transfer_encoding.h"

namespace mime {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Appends the bytes of up to four sextets; fewer than two give none.
void FlushGroup(unsigned long bits, int sextets, std::string& bytes) {
    if (sextets < 2) {
        return;
    }
    bits <<= 6 * (4 - sextets);
    bytes += static_cast<char>((bits >> 16) & 0xff);
    if (sextets >= 3) {
        bytes += static_cast<char>((bits >> 8) & 0xff);
    }
    if (sextets == 4) {
        bytes += static_cast<char>(bits & 0xff);
    }
}

} // namespace

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

bool DecodeBase64Strict(std::string_view text, std::string& bytes) {
    while (!text.empty() && text.back() == '=') {
        text.remove_suffix(1);
    }
    if (text.size() % 4 == 1) {
        return false;
    }
    bytes.clear();
    unsigned long bits = 0;
    int sextets = 0;
    for (char c : text) {
        const int value = Base64Value(c);
        if (value < 0) {
            return false;
        }
        bits = (bits << 6) | static_cast<unsigned long>(value);
        if (++sextets == 4) {
            FlushGroup(bits, sextets, bytes);
            bits = 0;
            sextets = 0;
        }
    }
    FlushGroup(bits, sextets, bytes);
    return true;
}

bool DecodeQWord(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            bytes += ' ';
        } else if (text[i] == '=') {
            if (i + 2 >= text.size()) {
                return false;
            }
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) {
                return false;
            }
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return true;
}

std::string DecodeBase64Body(std::string_view text) {
    std::string bytes;
    unsigned long bits = 0;
    int sextets = 0;
    for (char c : text) {
        // Padding ends a group, not the body: mailers join separately encoded chunks.
        if (c == '=') {
            FlushGroup(bits, sextets, bytes);
            bits = 0;
            sextets = 0;
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0) {
            continue;
        }
        bits = (bits << 6) | static_cast<unsigned long>(value);
        if (++sextets == 4) {
            FlushGroup(bits, sextets, bytes);
            bits = 0;
            sextets = 0;
        }
    }
    FlushGroup(bits, sextets, bytes);
    return bytes;
}

std::string DecodeQuotedPrintable(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            bytes += text[i];
            continue;
        }
        // A soft line break: "=", perhaps blanks a mailer left, then the line end.
        std::size_t next = i + 1;
        while (next < text.size() && (text[next] == ' ' || text[next] == '\t')) {
            ++next;
        }
        if (next < text.size() && (text[next] == '\r' || text[next] == '\n')) {
            if (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') {
                ++next;
            }
            i = next;
            continue;
        }
        if (next == text.size()) {
            break;
        }
        const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high >= 0 && low >= 0) {
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            bytes += '=';
        }
    }
    return bytes;
}

} // namespace mime
