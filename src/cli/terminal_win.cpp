#include "cli/terminal.h"

#include "mime/utf16_win.h"

#include <algorithm>

#include <windows.h>

namespace cli {

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (m_handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Switches echo off for its lifetime and puts the old mode back, also on early returns.
class EchoOff {
public:
    explicit EchoOff(HANDLE input) : m_input(input) {
        if (GetConsoleMode(input, &m_saved)) {
            const DWORD quiet = m_saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT);
            m_active = SetConsoleMode(input, quiet) != 0;
        }
    }
    ~EchoOff() {
        if (m_active) {
            SetConsoleMode(m_input, m_saved);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    bool Active() const { return m_active; }

private:
    HANDLE m_input;
    DWORD m_saved = 0;
    bool m_active = false;
};

bool Write(HANDLE output, const std::string& text) {
    DWORD written = 0;
    return WriteConsoleA(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) !=
           0;
}

bool ReadLine(HANDLE input, std::string& line) {
    return ReadTypedLine(
        [input](char& c) {
            DWORD read = 0;
            if (!ReadConsoleA(input, &c, 1, &read, nullptr))
                return -1;
            return read == 0 ? 0 : 1;
        },
        line);
}

} // namespace

void WriteText(std::FILE* stream, const std::string& utf8) {
    const HANDLE handle = ::GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) {
        std::fwrite(utf8.data(), 1, utf8.size(), stream);
        std::fflush(stream);
        return;
    }
    std::fflush(stream); // what went through the C library comes first
    const std::wstring wide = mime::ToUtf16(utf8);
    std::size_t done = 0;
    while (done < wide.size()) {
        // Large writes can fail on old consoles; a few thousand characters always work.
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
        DWORD written = 0;
        if (!::WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

bool AskTerminal(const std::string& prompt, bool echo, std::string& answer) {
    // The console itself, so that a redirected standard input stays untouched.
    Handle input(CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr));
    Handle output(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
    if (input.Get() == INVALID_HANDLE_VALUE || output.Get() == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (echo) {
        return Write(output.Get(), prompt) && ReadLine(input.Get(), answer);
    }
    bool ok;
    {
        // Echo goes off before the prompt shows, so nothing typed after it is ever displayed.
        EchoOff quiet(input.Get());
        if (!quiet.Active()) {
            return false;
        }
        ok = Write(output.Get(), prompt) && ReadLine(input.Get(), answer);
    }
    // The Enter key was not echoed either.
    Write(output.Get(), "\r\n");
    return ok;
}

} // namespace cli
