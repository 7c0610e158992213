// What a server asks of the login and says about a failure, through Account and the
// command-line report: its LOGIN-DELAY, and its own words, cleaned.
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "cli/report.h"
#include "core/temp_profile.h"
#include "pop3/messages.h"
#include "settings/account.h"
#include "settings/profile.h"
#include "support/scripted_pop3_server.h"

namespace {

using testsupport::ScriptedPop3Server;

Account AccountFor(const ScriptedPop3Server& server) {
    Account account;
    account.Load();
    account.Set("ann", "secret", server.Address(), 8, 1);
    account.SetTimeout(2000);
    return account;
}

cli::Report Check(Account& account) {
    Messages* list = nullptr;
    account.CheckMail(list);
    delete list;
    return cli::MakeReport(account, nullptr);
}

TEST(AccountLogin, LoginDelayBeforeOrAfterTheLoginHoldsTheNextCheckBackWithoutConnecting) {
    const struct {
        const char* name;
        const char* before; // CAPA before the login
        const char* after;  // and after it
        int delay;
    } cases[] = {
        {"after the login counts", "+OK\r\nUSER\r\nLOGIN-DELAY 900 USER\r\n.\r\n",
         "+OK\r\nLOGIN-DELAY 600\r\n.\r\n", 600},
        {"before the login alone", "+OK\r\nUSER\r\nLOGIN-DELAY 300\r\n.\r\n", "-ERR\r\n", 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempProfile profile;
        ScriptedPop3Server server;
        server.Reply("+OK hi\r\n").Expect("CAPA\r\n").Reply(c.before);
        server.Expect("USER ann\r\n").Reply("+OK\r\n").Expect("PASS secret\r\n").Reply("+OK\r\n");
        server.Expect("CAPA\r\n").Reply(c.after).Expect("STAT\r\n").Reply("+OK 0 0\r\n");
        server.Start();
        Account account = AccountFor(server);
        Check(account);
        ASSERT_EQ(account.GetStatus(), Account::MailboxEmpty) << account.GetErrorText();
        EXPECT_EQ(account.GetLoginDelay(), c.delay);
        ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));

        // Too soon, in this process and in the next one (the profile keeps it): refused
        // before anything goes out, as a fault that passes.
        Account next = AccountFor(server);
        for (Account* again : {&account, &next}) {
            const cli::Report report = Check(*again);
            EXPECT_EQ(again->GetStatus(), Account::CheckFailed);
            EXPECT_EQ(report.reason, "login-delay");
            EXPECT_EQ(cli::ExitStatus(report), 75);
            EXPECT_GT(again->SecondsUntilLoginAllowed(), c.delay - 60);
            EXPECT_LE(again->SecondsUntilLoginAllowed(), c.delay);
        }
        server.Stop();
        EXPECT_EQ(server.Connections(), 1);
        EXPECT_TRUE(server.Mismatches().empty());

        // Once the delay is over, the check goes ahead.
        Profile::Application().WriteString(
            "MailSettings", "LastLogin",
            std::to_string(static_cast<long long>(std::time(nullptr)) - c.delay - 1));
        ScriptedPop3Server later;
        later.Login().Expect("CAPA\r\n").Reply("-ERR\r\n").Expect("STAT\r\n").Reply("+OK 0 0\r\n");
        later.Start();
        Account afterwards = AccountFor(later);
        Check(afterwards);
        EXPECT_EQ(afterwards.GetStatus(), Account::MailboxEmpty) << afterwards.GetErrorText();
    }
}

TEST(AccountLogin, TheServersWordsComeCleanedWithTheReasonAndTheExitStatus) {
    const std::string hostile = "Account \x1b[31mclosed\x1b[0m \xe2\x80\xae"
                                "ton\x07 by" +
                                std::string(300, '!');
    const struct {
        std::string refusal;
        const char* reason;
        int exit;
        std::string words;
    } cases[] = {
        {"-ERR [IN-USE] Mailbox is locked\r\n", "in-use", 75, "Mailbox is locked"},
        {"-ERR [SYS/TEMP] disk full\r\n", "temporary", 75, "disk full"},
        {"-ERR [AUTH] Wrong\r\n", "auth", 2, "Wrong"},
        {"-ERR [SYS/PERM] " + hostile + "\r\n", "permanent", 2,
         "Account  [31mclosed [0m    ton  by" + std::string(166, '!')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ScriptedPop3Server server;
        server.Reply("+OK hi\r\n").Expect("CAPA\r\n").Reply("-ERR\r\n");
        server.Expect("USER ann\r\n").Reply("+OK\r\n").Expect("PASS secret\r\n").Reply(c.refusal);
        server.Start();
        Account account = AccountFor(server);
        const cli::Report report = Check(account);
        EXPECT_EQ(report.reason, c.reason);
        EXPECT_EQ(cli::ExitStatus(report), c.exit);
        EXPECT_EQ(report.serverWords, c.words);
        EXPECT_LE(report.serverWords.size(), 200u);
        EXPECT_EQ(account.GetErrorTextWithServerWords(),
                  "Bad Password Name\nThe server said: " + c.words);
        EXPECT_EQ(cli::FormatJson(report), "{\"status\":\"failed\",\"error\":\"Bad Password Name\","
                                           "\"reason\":\"" +
                                               std::string(c.reason) + "\",\"server\":\"" +
                                               c.words + "\"}\n");
    }
}

TEST(AccountLogin, ARefusedPasswordInAPipelinedFlightFailsAsTheLoginAndNothingMoreGoesOut) {
    const std::string flight = "USER ann\r\nPASS secret\r\nCAPA\r\nSTAT\r\nUIDL\r\n";
    // What follows the refusal in the flight: answered, or cut off by a server that hangs up.
    const struct {
        const char* name;
        bool pipelined;
        std::string afterRefusal;
        bool hangUp;
    } cases[] = {
        {"one by one", false, "", false},
        {"pipelined", true, "+OK\r\nUSER\r\nPIPELINING\r\n.\r\n-ERR no\r\n-ERR no\r\n", false},
        {"pipelined, then hung up", true, "+OK\r\nUSER\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPop3Server server;
        server.Reply("+OK hi\r\n").Expect("CAPA\r\n");
        if (c.pipelined) {
            server.Reply("+OK\r\nUSER\r\nUIDL\r\nPIPELINING\r\n.\r\n");
            for (const char* line :
                 {"USER ann\r\n", "PASS secret\r\n", "CAPA\r\n", "STAT\r\n", "UIDL\r\n"}) {
                server.Expect(line); // all of it before any answer
            }
            server.Reply("+OK\r\n-ERR [AUTH] Wrong\r\n" + c.afterRefusal);
        } else {
            server.Reply("+OK\r\nUSER\r\nUIDL\r\n.\r\n").Expect("USER ann\r\n").Reply("+OK\r\n");
            server.Expect("PASS secret\r\n").Reply("-ERR [AUTH] Wrong\r\n");
        }
        if (c.hangUp) {
            server.CloseConnection();
        }
        server.Start();
        Account account = AccountFor(server);
        const cli::Report report = Check(account);
        EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
        EXPECT_EQ(cli::FormatJson(report), "{\"status\":\"failed\",\"error\":\"Bad Password "
                                           "Name\",\"reason\":\"auth\",\"server\":\"Wrong\"}\n");
        EXPECT_EQ(cli::ExitStatus(report), 2);
        ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
        server.Stop();
        EXPECT_TRUE(server.Mismatches().empty());
        EXPECT_EQ(server.Received(),
                  "CAPA\r\n" + (c.pipelined ? flight : "USER ann\r\nPASS secret\r\n"));
    }
}

} // namespace
