#include "mime/body.h"

#include "mime/charset.h"
#include "mime/html_text.h"
#include "mime/transfer_encoding.h"

#include <cctype>
#include <map>

namespace mime {

namespace {

// Nested multiparts deeper than this are not followed: no mailer nests so, and each level
// costs a pass over the text.
constexpr int kMaxDepth = 8;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// "type/subtype; name=value; name=\"quoted value\"", as RFC 2045 writes it.
struct ContentType {
    std::string mediaType; // lower case, "text/plain" when the field is absent
    std::string charset;
    std::string boundary;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// An RFC 2231 extended value: "charset'language'text" in its first piece, "%XX" escapes.
std::string DecodeExtended(std::string_view value, bool first) {
    if (first) {
        const std::size_t quote = value.find('\'');
        const std::size_t second =
            quote == std::string_view::npos ? quote : value.find('\'', quote + 1);
        if (second != std::string_view::npos) {
            value.remove_prefix(second + 1);
        }
    }
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const int high = value[i] == '%' && i + 2 < value.size() ? HexDigit(value[i + 1]) : -1;
        const int low = high >= 0 ? HexDigit(value[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

// One parameter in its three forms: plain, extended ("name*="), and in numbered pieces
// ("name*0=", "name*1*=") that are joined in order.
struct Parameter {
    std::string plain;
    bool hasExtended = false;
    std::string extended;
    std::map<int, std::string> pieces;

    std::string Value() const {
        if (hasExtended) {
            return extended;
        }
        if (!pieces.empty() && pieces.begin()->first == 0) {
            std::string joined;
            int expected = 0;
            for (const auto& [index, piece] : pieces) {
                if (index != expected++) {
                    break;
                }
                joined += piece;
            }
            return joined;
        }
        return plain;
    }
};

void TakeParameter(std::string name, const std::string& value, Parameter& parameter) {
    const bool extended = !name.empty() && name.back() == '*';
    if (extended) {
        name.pop_back();
    }
    const std::size_t star = name.find('*');
    if (star == std::string::npos) {
        if (extended) {
            parameter.hasExtended = true;
            parameter.extended = DecodeExtended(value, true);
        } else {
            parameter.plain = value;
        }
        return;
    }
    const std::string index = name.substr(star + 1);
    if (index.empty() || index.size() > 3 ||
        index.find_first_not_of("0123456789") != std::string::npos) {
        return;
    }
    const int n = std::stoi(index);
    parameter.pieces[n] = extended ? DecodeExtended(value, n == 0) : value;
}

std::string BaseName(const std::string& name) {
    return name.substr(0, name.find('*'));
}

ContentType ReadContentType(const std::string& value) {
    ContentType type;
    std::string_view rest(value);
    const std::size_t semicolon = rest.find(';');
    type.mediaType = Lower(TrimBlanks(rest.substr(0, semicolon)));
    if (type.mediaType.empty()) {
        type.mediaType = "text/plain";
    }
    rest.remove_prefix(semicolon == std::string_view::npos ? rest.size() : semicolon + 1);
    Parameter charset;
    Parameter boundary;
    while (!rest.empty()) {
        const std::size_t equals = rest.find('=');
        if (equals == std::string_view::npos) {
            break;
        }
        const std::string name = Lower(TrimBlanks(rest.substr(0, equals)));
        rest = TrimBlanks(rest.substr(equals + 1));
        std::string parameter;
        if (!rest.empty() && rest.front() == '"') {
            std::size_t i = 1;
            for (; i < rest.size() && rest[i] != '"'; ++i) {
                if (rest[i] == '\\' && i + 1 < rest.size()) {
                    ++i;
                }
                parameter += rest[i];
            }
            rest.remove_prefix(std::min(i + 1, rest.size()));
        }
        const std::size_t end = rest.find(';');
        if (parameter.empty()) {
            parameter = std::string(TrimBlanks(rest.substr(0, end)));
        }
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (BaseName(name) == "charset") {
            TakeParameter(name, parameter, charset);
        } else if (BaseName(name) == "boundary") {
            TakeParameter(name, parameter, boundary);
        }
    }
    type.charset = charset.Value();
    type.boundary = boundary.Value();
    return type;
}

struct Found {
    bool plainFound = false;
    bool htmlFound = false;
    std::string plain;
    std::string html;
};

// The text of one leaf entity in UTF-8.
std::string DecodeLeaf(const std::vector<HeaderField>& headers, const ContentType& type,
                       std::string_view body) {
    const std::string encoding =
        Lower(TrimBlanks(FieldValue(headers, "Content-Transfer-Encoding")));
    std::string bytes;
    if (encoding == "quoted-printable") {
        bytes = DecodeQuotedPrintable(body);
    } else if (encoding == "base64") {
        bytes = DecodeBase64Body(body);
    } else {
        bytes = std::string(body);
    }
    std::string text;
    if (type.charset.empty() || !ToUtf8(type.charset, bytes, text)) {
        text = Utf8OrWindows1252(bytes);
    }
    return text;
}

void Walk(const std::vector<HeaderField>& headers, std::string_view body, int depth, Found& found);

// Calls Walk on each part of a multipart body the lines reach, in order, until a plain
// text part is found.
void WalkParts(std::string_view body, const std::string& boundary, int depth, Found& found) {
    const std::string delimiter = "--" + boundary;
    bool inPart = false;
    std::size_t partStart = 0;
    std::size_t lineStart = 0;
    auto walkPart = [&](std::size_t end) {
        std::string_view headerBlock;
        std::string_view partBody;
        if (!SplitAtEmptyLine(body.substr(partStart, end - partStart), headerBlock, partBody)) {
            return; // the lines end inside the part's headers
        }
        // The line break before a delimiter belongs to the delimiter.
        if (partBody.size() >= 2 && partBody.substr(partBody.size() - 2) == "\r\n") {
            partBody.remove_suffix(2);
        } else if (!partBody.empty() && partBody.back() == '\n') {
            partBody.remove_suffix(1);
        }
        Walk(ParseHeaderBlock(headerBlock), partBody, depth + 1, found);
    };
    while (lineStart < body.size() && !found.plainFound) {
        std::size_t lineEnd = body.find('\n', lineStart);
        const std::size_t next = lineEnd == std::string_view::npos ? body.size() : lineEnd + 1;
        const std::string_view line = TrimBlanks(body.substr(lineStart, next - lineStart));
        if (line.size() >= delimiter.size() && line.substr(0, delimiter.size()) == delimiter) {
            const std::string_view after = line.substr(delimiter.size());
            if (after.empty() || after == "--") {
                if (inPart) {
                    walkPart(lineStart);
                }
                if (after == "--") {
                    return;
                }
                inPart = true;
                partStart = next;
            }
        }
        lineStart = next;
    }
    if (inPart && !found.plainFound) {
        walkPart(body.size());
    }
}

void Walk(const std::vector<HeaderField>& headers, std::string_view body, int depth, Found& found) {
    const std::string disposition = Lower(FieldValue(headers, "Content-Disposition"));
    if (depth > 0 && disposition.compare(0, 10, "attachment") == 0) {
        return;
    }
    const ContentType type = ReadContentType(FieldValue(headers, "Content-Type"));
    if (type.mediaType.compare(0, 10, "multipart/") == 0) {
        if (!type.boundary.empty() && depth < kMaxDepth) {
            WalkParts(body, type.boundary, depth, found);
        }
        return;
    }
    if (type.mediaType == "message/rfc822") {
        // A forwarded message shown inline: its own body is the text.
        std::string_view innerHeaders;
        std::string_view innerBody;
        if (depth < kMaxDepth && SplitAtEmptyLine(body, innerHeaders, innerBody)) {
            Walk(ParseHeaderBlock(innerHeaders), innerBody, depth + 1, found);
        }
        return;
    }
    if (type.mediaType == "text/html") {
        if (!found.htmlFound) {
            found.htmlFound = true;
            found.html = HtmlToText(DecodeLeaf(headers, type, body));
        }
        return;
    }
    // Text of another kind shown as it stands, but only as the message itself: an
    // alternative's calendar or enriched part is no substitute for its plain text.
    if (type.mediaType == "text/plain" ||
        (depth == 0 && type.mediaType.compare(0, 5, "text/") == 0)) {
        found.plainFound = true;
        found.plain = DecodeLeaf(headers, type, body);
    }
}

// CR LF line ends throughout, as the edit control shows them.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (text[i] == '\n') {
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

std::string BodyText(const std::vector<HeaderField>& headers, std::string_view body) {
    Found found;
    Walk(headers, body, 0, found);
    return WithCrLf(found.plainFound ? found.plain : found.html);
}

} // namespace mime
