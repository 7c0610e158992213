#pragma once

#include <string>
#include <string_view>
#include <vector>

// Header fields as RFC 5322 reads them, and their text as RFC 2047 encodes it.
namespace mime {

struct HeaderField {
    std::string name;  // as written
    std::string value; // unfolded, without the blanks around it, still encoded
};

// The fields of a header block (lines ending in CR LF or LF, without the empty line that
// ends the block). A line that begins with a blank continues the field before it; a line
// that is no field is skipped.
std::vector<HeaderField> ParseHeaderBlock(std::string_view block);

// The value of the last field of that name, matched in any case; empty when there is none.
std::string FieldValue(const std::vector<HeaderField>& fields, std::string_view name);

// The UTF-8 a reader sees of a header's text: encoded words decoded (blanks between two of
// them dropped), other 8-bit text kept when it is UTF-8, else read as windows-1252. A word
// that is malformed, or in a charset that cannot be converted, stays as written.
std::string DecodeHeaderText(std::string_view value);
// The same for an address field: an encoded word that decodes to something holding "<", ">"
// or "@" is shown in quotes, so that a name cannot pass for an address.
std::string DecodeAddressText(std::string_view value);

// Splits an entity at its first empty line into the header block and the body; false when
// there is no empty line.
bool SplitAtEmptyLine(std::string_view entity, std::string_view& headers, std::string_view& body);

bool EqualsNoCase(std::string_view a, std::string_view b);

} // namespace mime
