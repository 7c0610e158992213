#pragma once

#include <string>
#include <vector>

// Runs a program to its end with the given standard input and collects what it prints.
// The child has no controlling terminal, so nothing it does can wait for a keyboard.
struct ProcessResult {
    int exitCode = -1; // -1 when it did not exit normally (signal, time limit, exec failure)
    bool timedOut = false;
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input,
                         int timeoutMs = 60000);

// One turn of a terminal dialogue: wait until the screen shows expect, then type send.
struct TerminalStep {
    std::string expect;
    std::string send;
};

// Runs a program on a new pseudo terminal of its own and plays the dialogue. out holds
// everything the terminal showed, the echo of what was typed included.
ProcessResult RunOnTerminal(const std::vector<std::string>& argv,
                            const std::vector<TerminalStep>& steps, int timeoutMs = 30000);
