#pragma once

#include <string>
#include <string_view>

namespace mime {

// Text from mail or a server made fit to show: what cannot fool the reader. Every control
// character (C0, DEL, C1), the byte order mark, the embedding, override and isolate controls
// of bidirectional text (U+202A to U+202E, U+2066 to U+2069) and the Unicode line and
// paragraph separators become U+FFFD, as does every byte that is no UTF-8; a TAB becomes a
// blank. With keepLineBreaks, an LF (with the CR before it) stays; otherwise it is replaced
// like the rest, so the text stays on one line.
std::string DisplayText(std::string_view text, bool keepLineBreaks = false);

} // namespace mime
