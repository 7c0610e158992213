#pragma once

#include <cstdio>
#include <string>

namespace cli {

// Asks on the user's terminal (not standard input, which may carry a piped password) and
// reads one line without its line end. With echo off the typed text is not shown. False
// when there is no terminal or it cannot be read.
bool AskTerminal(const std::string& prompt, bool echo, std::string& answer);

// Writes UTF-8 text to standard output or standard error: as it is when redirected, and
// with the console's wide-character call on a Windows console, so that it shows right
// whatever the console's code page.
void WriteText(std::FILE* stream, const std::string& utf8);

// Gathers one typed line from readChar (1: c holds a character, 0: end of input, -1: failure)
// up to Enter, without its line end (LF, or the console's CR LF).
template <typename ReadChar> bool ReadTypedLine(ReadChar readChar, std::string& line) {
    line.clear();
    for (;;) {
        char c = 0;
        const int got = readChar(c);
        if (got < 0)
            return false;
        if (got == 0)
            return !line.empty();
        if (c == '\n')
            break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace cli
