#include "run_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Pipe {
public:
    Pipe() {
        if (pipe2(m_fds, O_CLOEXEC) != 0) {
            m_fds[0] = m_fds[1] = -1;
        }
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool Ok() const { return m_fds[0] >= 0; }
    int Read() const { return m_fds[0]; }
    int Write() const { return m_fds[1]; }
    void CloseRead() { CloseFd(m_fds[0]); }
    void CloseWrite() { CloseFd(m_fds[1]); }

private:
    static void CloseFd(int& fd) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
    int m_fds[2];
};

} // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input,
                         int timeoutMs) {
    ProcessResult result;
    Pipe in, out, err;
    if (argv.empty() || !in.Ok() || !out.Ok() || !err.Ok()) {
        return result;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) {
        return result;
    }
    if (pid == 0) {
        setsid(); // no controlling terminal: /dev/tty cannot be opened
        dup2(in.Read(), 0);
        dup2(out.Write(), 1);
        dup2(err.Write(), 2);
        execv(args[0], args.data());
        _exit(127);
    }
    in.CloseRead();
    out.CloseWrite();
    err.CloseWrite();
    signal(SIGPIPE, SIG_IGN); // a child that ignores its input must not end the test

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t written = 0;
    if (input.empty()) {
        in.CloseWrite();
    }
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {
            {out.Read(), POLLIN, 0}, {err.Read(), POLLIN, 0}, {in.Write(), POLLOUT, 0}};
        const nfds_t count = in.Write() >= 0 ? 3 : 2;
        if (poll(fds, count, static_cast<int>(left)) < 0 && errno != EINTR) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                (i == 0 ? outOpen : errOpen) = false;
                (i == 0 ? out : err).CloseRead();
            }
        }
        if (count == 3 && fds[2].revents != 0) {
            const ssize_t n = write(in.Write(), input.data() + written, input.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            if (n < 0 || written == input.size()) {
                in.CloseWrite();
            }
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!result.timedOut && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

ProcessResult RunOnTerminal(const std::vector<std::string>& argv,
                            const std::vector<TerminalStep>& steps, int timeoutMs) {
    ProcessResult result;
    if (argv.empty()) {
        return result;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) {
        return result;
    }
    if (pid == 0) {
        execv(args[0], args.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t step = 0;
    std::size_t seen = 0; // the next expectation is looked for after this point
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
            break;
        }
        if (p.revents == 0) {
            continue;
        }
        char buffer[1024];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break; // EIO once the program has closed its side
        }
        result.out.append(buffer, static_cast<std::size_t>(n));
        while (step < steps.size()) {
            const std::size_t at = result.out.find(steps[step].expect, seen);
            if (at == std::string::npos) {
                break;
            }
            seen = at + steps[step].expect.size();
            const std::string& send = steps[step].send;
            if (write(master, send.data(), send.size()) != static_cast<ssize_t>(send.size())) {
                break;
            }
            ++step;
        }
    }
    close(master);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!result.timedOut && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}
