#pragma once

#include <string>
#include <string_view>

// Small text rules shared by the POP3 reply parsers.
namespace pop3 {

// The integer at the start of text as atoi reads it: leading white space skipped, an
// optional sign, decimal digits up to the first other character; 0 when there are none.
// Unlike atoi, a value out of range is clamped instead of being undefined.
int ReadInt(std::string_view text);

// A reply line made comparable: white space trimmed at both ends, a CR still inside it
// costs the last character, as does an LF, and both ends are trimmed again.
std::string CleanLine(std::string_view line);
// The same, as a view into the line: for parsers that go through many lines.
std::string_view CleanView(std::string_view line);

} // namespace pop3
