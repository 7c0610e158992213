#include "mime/display_text.h"

#include "mime/utf8.h"

namespace mime {

namespace {

constexpr char kReplacement[] = "\xef\xbf\xbd";

unsigned long CodePointAt(std::string_view text, std::size_t i, std::size_t length) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    switch (length) {
    case 1:
        return byte(0);
    case 2:
        return ((byte(0) & 0x1fUL) << 6) | (byte(1) & 0x3f);
    case 3:
        return ((byte(0) & 0x0fUL) << 12) | ((byte(1) & 0x3fUL) << 6) | (byte(2) & 0x3f);
    default:
        return ((byte(0) & 0x07UL) << 18) | ((byte(1) & 0x3fUL) << 12) | ((byte(2) & 0x3fUL) << 6) |
               (byte(3) & 0x3f);
    }
}

bool Misleads(unsigned long c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0xfeff || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
}

} // namespace

std::string DisplayText(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        const unsigned long c = CodePointAt(text, i, length);
        if (c == '\t') {
            out += ' ';
        } else if (keepLineBreaks &&
                   (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))) {
            out += static_cast<char>(c);
        } else if (Misleads(c)) {
            out += kReplacement;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

} // namespace mime
