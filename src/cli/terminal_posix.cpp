#include "cli/terminal.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// Switches echo off for its lifetime and puts the old mode back, also on early returns.
class EchoOff {
public:
    explicit EchoOff(int fd) : m_fd(fd) {
        if (tcgetattr(fd, &m_saved) == 0) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            quiet.c_lflag |= ECHONL;
            m_active = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~EchoOff() {
        if (m_active) {
            tcsetattr(m_fd, TCSAFLUSH, &m_saved);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    bool Active() const { return m_active; }

private:
    int m_fd;
    termios m_saved{};
    bool m_active = false;
};

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadLine(int fd, std::string& line) {
    return ReadTypedLine(
        [fd](char& c) {
            for (;;) {
                const ssize_t n = read(fd, &c, 1);
                if (n >= 0 || errno != EINTR)
                    return n < 0 ? -1 : static_cast<int>(n);
            }
        },
        line);
}

} // namespace

void WriteText(std::FILE* stream, const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

bool AskTerminal(const std::string& prompt, bool echo, std::string& answer) {
    Fd tty(open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (tty.Get() < 0) {
        return false;
    }
    if (echo) {
        return WriteAll(tty.Get(), prompt) && ReadLine(tty.Get(), answer);
    }
    // Echo goes off before the prompt shows, so nothing typed after it is ever displayed.
    EchoOff quiet(tty.Get());
    if (!quiet.Active()) {
        return false;
    }
    return WriteAll(tty.Get(), prompt) && ReadLine(tty.Get(), answer);
}

} // namespace cli
