#include "pop3/top_reply.h"

#include "mime/body.h"
#include "mime/charset.h"
#include "mime/display_text.h"
#include "mime/header.h"
#include "mime/utf8.h"

namespace pop3 {

namespace {

// The message as the server holds it: each line's stuffed "." removed, the closing "."
// line and anything after it dropped.
std::string Unstuffed(std::string_view reply) {
    std::string message;
    message.reserve(reply.size());
    while (!reply.empty()) {
        const std::size_t newline = reply.find('\n');
        const std::size_t next = newline == std::string_view::npos ? reply.size() : newline + 1;
        std::string_view line = reply.substr(0, next);
        reply.remove_prefix(next);
        if (!line.empty() && line.front() == '.') {
            if (line == ".\r\n" || line == ".\n" || line == ".") {
                break;
            }
            line.remove_prefix(1);
        }
        message += line;
    }
    return message;
}

// FNV-1a, 64 bits: the row's size is compared too, and a message made to match another's
// digest would have to know that other's header lines, trace lines included.
std::uint64_t Digest(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

} // namespace

TopReply ReadTopReply(std::string_view reply, std::size_t summaryLimit) {
    const std::string message = Unstuffed(reply);
    std::string_view headerBlock = message;
    std::string_view body;
    const bool hasBody = mime::SplitAtEmptyLine(message, headerBlock, body);
    const std::vector<mime::HeaderField> fields = mime::ParseHeaderBlock(headerBlock);

    TopReply result;
    result.headerDigest = Digest(headerBlock);
    // Made fit to show here, where the text is produced, so that no window can get it raw.
    result.to = mime::DisplayText(mime::DecodeAddressText(mime::FieldValue(fields, "To")));
    result.from = mime::DisplayText(mime::DecodeAddressText(mime::FieldValue(fields, "From")));
    result.subject = mime::DisplayText(mime::DecodeHeaderText(mime::FieldValue(fields, "Subject")));
    result.date = mime::DisplayText(mime::Utf8OrWindows1252(mime::FieldValue(fields, "Date")));
    if (hasBody) {
        // Each character replaced is one character: the cut and the limit still hold.
        const std::string text = mime::BodyText(fields, body);
        result.summary = mime::DisplayText(mime::FirstCodePoints(text, summaryLimit), true);
    }
    return result;
}

} // namespace pop3
