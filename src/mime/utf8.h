#pragma once

#include <string>
#include <string_view>

namespace mime {

// Length of the well-formed UTF-8 sequence at text[i] (1 for ASCII), 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

// Every byte that starts no well-formed sequence becomes U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view text);

void AppendUtf8(std::string& out, unsigned long codePoint);

// At most `limit` code points of UTF-8 text, never cutting one in two.
std::string_view FirstCodePoints(std::string_view text, std::size_t limit);

} // namespace mime
