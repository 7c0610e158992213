#pragma once

#include "mime/header.h"

#include <string>
#include <string_view>
#include <vector>

namespace mime {

// The text a reader sees of the first lines of a message: the body of a quoted-printable
// or base64 transfer encoding decoded in its charset; of multipart mail the first
// text/plain part the lines reach, else the first text/html part without its markup;
// nothing when the lines reach no text. UTF-8 with CR LF line ends.
std::string BodyText(const std::vector<HeaderField>& headers, std::string_view body);

} // namespace mime
