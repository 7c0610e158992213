// A message's headers and first lines, as the fuzzer makes them, through the decoding of
// headers, bodies and HTML on its own: what it gives is what users see in the list, the
// popup, the balloon, the tip and the deletion question.
//
// Input: the message as a TOP reply brings it (header lines, an empty line, the body).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mime/display_text.h"
#include "mime/header.h"
#include "mime/html_text.h"
#include "pop3/top_reply.h"
#include "properties.h"

namespace {

constexpr std::size_t kSummaryLimit = 1024;

// Offset of the first character that could make text read as something else: a control
// (the line breaks of a summary apart), the byte order mark, a bidirectional control or a
// line or paragraph separator. npos when there is none.
std::size_t FirstForbidden(std::string_view text, bool lineBreaksAllowed) {
    for (std::size_t i = 0, length; i < text.size(); i += std::max<std::size_t>(length, 1)) {
        unsigned long c = 0;
        length = fuzz::DecodeAt(text, i, c);
        const bool lineBreak =
            lineBreaksAllowed && (text.compare(i, 1, "\n") == 0 || text.compare(i, 2, "\r\n") == 0);
        if (!lineBreak &&
            (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0xfeff || (c >= 0x202a && c <= 0x202e) ||
             (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029)) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::size_t CodePoints(std::string_view text) {
    std::size_t count = 0;
    unsigned long c = 0;
    for (std::size_t i = 0; i < text.size(); ++count)
        i += std::max<std::size_t>(fuzz::DecodeAt(text, i, c), 1);
    return count;
}

void CheckShown(const std::string& text, const char* what, bool lineBreaksAllowed) {
    fuzz::Require(fuzz::IsUtf8(text), std::string(what) + " is UTF-8", text);
    fuzz::Require(FirstForbidden(text, lineBreaksAllowed) == std::string_view::npos,
                  std::string(what) + " holds no character that could mislead", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const pop3::TopReply reply = pop3::ReadTopReply(input, kSummaryLimit);
    CheckShown(reply.from, "From", false);
    CheckShown(reply.subject, "Subject", false);
    CheckShown(reply.summary, "the summary", true);
    fuzz::Require(CodePoints(reply.summary) <= kSummaryLimit, "the summary within its limit",
                  reply.summary);
    // The decoders alone give UTF-8 whatever they are given; the display rule then holds.
    const std::string html = mime::HtmlToText(input);
    fuzz::Require(fuzz::IsUtf8(mime::DisplayText(html, true)), "HTML text made fit is UTF-8", html);
    const std::string decoded = mime::DecodeHeaderText(input);
    CheckShown(mime::DisplayText(decoded), "a decoded header", false);
    return 0;
}
