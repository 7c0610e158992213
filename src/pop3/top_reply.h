#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pop3 {

// What a TOP reply tells a reader, all in UTF-8: the header values (From and Subject
// decoded) and the text of the first body lines.
struct TopReply {
    std::string to;
    std::string from;
    std::string subject;
    std::string date;
    std::string summary;
    // Of the header block as the server holds it: the same for TOP n 0 as for TOP n 8.
    std::uint64_t headerDigest = 0;
};

// The reply as received after its status line: dot-stuffed lines up to the closing ".".
// The summary is empty when the header block never ends.
TopReply ReadTopReply(std::string_view reply, std::size_t summaryLimit);

} // namespace pop3
