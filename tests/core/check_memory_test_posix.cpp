// What a check costs in memory when the server claims much or sends much, measured in a
// child process of its own as the peak of the heap in use (AddressSanitizer's quarantine
// keeps freed blocks resident, so the resident size would not do).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstddef>
#include <string>
#include <vector>

#include "pop3/messages.h"
#include "settings/account.h"
#include "support/scripted_pop3_server.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*,
                                                                  std::size_t),
                                                         void (*)(const volatile void*));
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void*);
#endif

namespace {

using testsupport::ScriptedPop3Server;

const char kNotUnderstood[] = "The server's reply was not understood";

std::atomic<long long> g_heapInUse{0};
std::atomic<long long> g_heapPeak{0};

#if defined(__SANITIZE_ADDRESS__)
void OnMalloc(const volatile void*, std::size_t size) {
    const long long now = g_heapInUse += static_cast<long long>(size);
    for (long long peak = g_heapPeak; now > peak && !g_heapPeak.compare_exchange_weak(peak, now);) {
    }
}

void OnFree(const volatile void* block) {
    g_heapInUse -= static_cast<long long>(__sanitizer_get_allocated_size(block));
}
#endif

// Runs one check in a child against the scripted server, which runs here, and gives the
// kilobytes the child's peak grew by, a blank and the check's failure text. The child is
// forked before the server's thread exists, so no lock can be held across the fork.
std::string CheckInChild(ScriptedPop3Server& server) {
    int fds[2];
    if (pipe(fds) != 0) {
        return std::string();
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
#if defined(__SANITIZE_ADDRESS__)
        __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
#endif
        Account account;
        account.Set("ann", "secret", server.Address(), 8, 1);
        account.SetTimeout(2000);
        Messages* list = nullptr;
        account.CheckMail(list);
        const std::string report = std::to_string(g_heapPeak / 1024) + " " + account.GetErrorText();
        _exit(write(fds[1], report.data(), report.size()) < 0 ? 1 : 0);
    }
    close(fds[1]);
    server.Start();
    std::string report;
    char buffer[256];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, static_cast<std::size_t>(got));
    }
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return report;
}

TEST(CheckMemory, FollowsTheBytesThatArrivedNeverTheCountClaimed) {
#if !defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the heap is measured through AddressSanitizer's hooks";
#endif
    const std::string claim = "+OK 20000000 1\r\n"; // 3 GB, were a row set aside per message
    std::string junk = "+OK\r\n";
    while (junk.size() < (32 << 20)) {
        junk += "not a listing line\r\n";
    }
    // Rows with unique ids, each from the least a server can send for it, pipelined.
    constexpr int kRows = 50000;
    std::vector<std::string> rows = {"+OK\r\nPIPELINING\r\nUIDL\r\n.\r\n",
                                     "+OK " + std::to_string(kRows) + " 1\r\n", "+OK\r\n",
                                     "+OK\r\n"};
    for (int n = 1; n <= kRows; ++n) {
        rows[2] += std::to_string(n) + " " + std::to_string(n * 7) + "\r\n";
        rows[3] += std::to_string(n) + " 1\r\n";
        rows.push_back("-ERR\r\n");
    }
    rows[2] += ".\r\n";
    rows[3] += ".\r\n";
    rows.push_back("+OK\r\n");
    // The replies to the commands in turn, from CAPA on.
    const struct {
        const char* what;
        std::vector<std::string> replies;
        const char* error;
    } cases[] = {
        // The listing lists none of the claimed messages.
        {"a claim", {"-ERR\r\n", claim, "-ERR\r\n", "+OK\r\n.\r\n"}, kNotUnderstood},
        // Within what 20 million messages may list, and then not one of them.
        {"a LIST of 32 MB", {"-ERR\r\n", claim, "-ERR\r\n", junk + ".\r\n"}, kNotUnderstood},
        {"50000 rows", rows, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPop3Server server;
        server.Login();
        std::size_t sent = 0;
        for (const std::string& reply : c.replies) {
            server.Expect("").Reply(reply);
            sent += reply.size();
        }
        const std::string report = CheckInChild(server);
        ASSERT_NE(report.find(' '), std::string::npos) << "the child ended early";
        EXPECT_EQ(report.substr(report.find(' ') + 1), c.error);
        // About twice what arrived, and a few MB.
        const long grownKb = std::atol(report.c_str());
        EXPECT_LE(grownKb, static_cast<long>(2 * sent / 1024 + 8 * 1024));
    }
}

} // namespace
