#pragma once

#include <string>
#include <string_view>

namespace mime {

// The text of an HTML document (UTF-8) as a reader sees it: tags, comments, scripts and
// styles gone, blanks collapsed, line breaks where blocks and <br> put them, character
// references decoded. Lines end in LF.
std::string HtmlToText(std::string_view html);

} // namespace mime
