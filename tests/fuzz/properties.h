#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Checks the fuzzing harnesses make of what the program produced. A failed Require ends
// the process with the text, which libFuzzer reports as a finding.
namespace fuzz {

void Require(bool holds, const std::string& what, std::string_view subject);

// Length of the well-formed UTF-8 sequence at text[i] with its code point, or 0.
std::size_t DecodeAt(std::string_view text, std::size_t i, unsigned long& point);

// Well-formed UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view text);

// One JSON value (RFC 8259), its strings UTF-8, with nothing but blanks after it; why names
// the first fault.
bool IsJson(std::string_view text, std::string& why);

// A folder of this process on a memory-backed file system, named as the program's scratch
// folders are, so that later runs sweep it once the process is gone.
const std::filesystem::path& WorkFolder();

// Offset of the first control character (C0 but for tab and line feed, DEL, C1 as a byte
// or in UTF-8) in text, or npos.
std::size_t FirstControl(std::string_view text);

} // namespace fuzz
