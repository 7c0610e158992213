#pragma once

#include <windows.h>

#include <functional>
#include <string>

// The program's sounds and the programs and documents it starts go through these two
// seams, so that tests can read what would have been played or started and nothing real
// happens.

// PlaySoundA(file, NULL, SND_FILENAME | SND_ASYNC); true when the system accepted it.
bool PlaySoundFile(const std::string& file);
using SoundHandler = std::function<bool(const std::string& file)>;
// Replaces the real player until an empty handler is set; returns the one it replaced.
SoundHandler SetSoundHandler(SoundHandler handler);

// One start: a document or program opened with the shell's "open" verb, or a command line
// run as a new process. Neither waits for the started program.
struct LaunchRequest {
    enum Kind { ShellOpen, CommandLine } kind;
    HWND owner;
    std::string target;
    int show;
};
// ShellExecute's result (above 32: started) for ShellOpen, WinExec's (above 31: started)
// for CommandLine.
UINT_PTR Launch(const LaunchRequest& request);
using LaunchHandler = std::function<UINT_PTR(const LaunchRequest& request)>;
LaunchHandler SetLaunchHandler(LaunchHandler handler);

// The folder of the running program, without a trailing backslash.
std::string ProgramFolder();
