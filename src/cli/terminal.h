#pragma once

#include <string>

namespace cli {

// Asks on the user's terminal (not standard input, which may carry a piped password) and
// reads one line without its line end. With echo off the typed text is not shown. False
// when there is no terminal or it cannot be read.
bool AskTerminal(const std::string& prompt, bool echo, std::string& answer);

} // namespace cli
