// Times one full mailbox check against a POP3 server: connect, USER, PASS, STAT, LIST,
// TOP for every message, QUIT (pipelined where the server allows it). Prints the median in
// milliseconds.
//
//   check_bench pop|account HOST PORT USER PASSWORD REPETITIONS
//
// "pop" drives CPop command by command; "account" runs Account::CheckMail, which adds
// building the message list.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/tcp_socket.h"
#include "pop3/messages.h"
#include "pop3/pop.h"
#include "settings/account.h"

namespace {

constexpr int kSummaryLines = 8;

bool CheckWithPop(const std::string& host, unsigned short port, const std::string& user,
                  const std::string& password, int& count) {
    CPop pop;
    // As a check goes: STAT with the login, the listing and QUIT in one go where pipelined.
    pop.SetLoginFlight({false, true, false});
    if (!pop.Connect(host, port, user, password) || !pop.Stat()) {
        std::fprintf(stderr, "check_bench: %s\n", pop.GetErrorText().c_str());
        return false;
    }
    count = pop.GetMessageCount();
    pop.PlanListing(count, kSummaryLines, true, true);
    if (count > 0 && !pop.List()) {
        std::fprintf(stderr, "check_bench: %s\n", pop.GetErrorText().c_str());
        return false;
    }
    for (int n = 1; n <= count; ++n) {
        if (!pop.Top(n, kSummaryLines) || pop.m_Subject.empty()) {
            std::fprintf(stderr, "check_bench: TOP %d failed: %s\n", n, pop.GetErrorText().c_str());
            return false;
        }
    }
    return pop.Quit();
}

bool CheckWithAccount(const std::string& host, unsigned short port, const std::string& user,
                      const std::string& password, int& count) {
    Account account;
    account.Set(user, password, host + ":" + std::to_string(port), kSummaryLines, 1);
    Messages* raw = nullptr;
    account.CheckMail(raw);
    const std::unique_ptr<Messages> list(raw);
    count = account.m_MessageCount;
    if (account.GetStatus() == Account::MailboxEmpty) {
        return true;
    }
    if (account.GetStatus() != Account::ListRebuilt || !list || list->GetCount() != count) {
        std::fprintf(stderr, "check_bench: %s\n", account.GetErrorText().c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr,
                     "usage: check_bench pop|account HOST PORT USER PASSWORD REPETITIONS\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string host = argv[2];
    const auto port = static_cast<unsigned short>(std::atoi(argv[3]));
    const int repetitions = std::max(1, std::atoi(argv[6]));
    if (mode != "pop" && mode != "account") {
        std::fprintf(stderr, "check_bench: unknown mode %s\n", mode.c_str());
        return 2;
    }
    if (!net::InitSockets()) {
        std::fprintf(stderr, "check_bench: no socket layer\n");
        return 1;
    }
    const auto check = mode == "pop" ? CheckWithPop : CheckWithAccount;

    std::vector<double> times;
    int count = 0;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!check(host, port, argv[4], argv[5], count)) {
            return 1;
        }
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        times.push_back(took.count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%.2f\n", times[times.size() / 2]);
    std::fprintf(stderr, "check_bench %s: %d messages, %d runs, min %.2f ms, max %.2f ms\n",
                 mode.c_str(), count, repetitions, times.front(), times.back());
    return 0;
}
