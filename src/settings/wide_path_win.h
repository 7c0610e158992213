#pragma once

#include <string>

// Profile paths travel as 8-bit text; the file calls take them wide, so that a folder name
// outside the ANSI code page still works.
namespace wide_path {

// UTF-8 when the text is valid UTF-8 (what DefaultPath gives), else the ANSI code page
// (what a command line gives).
std::wstring FromText(const std::string& text);
std::string ToUtf8(const std::wstring& text);

} // namespace wide_path
