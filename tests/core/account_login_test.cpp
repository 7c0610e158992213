// What a server asks of the login and says about a failure, through Account and the
// command-line report: its LOGIN-DELAY, its own words, cleaned, and a pipelined login.
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

Account AccountFor(ScriptedPop3Server& server) {
    server.Start();
    Account account;
    account.Load();
    account.Set("ann", "secret", server.Address(), 8, 1);
    account.SetTimeout(2000);
    return account;
}

// The check's report: where it found mail its text and the rows' unique ids, else its JSON.
std::string Check(Account& account, cli::Report* report = nullptr) {
    Messages* list = nullptr;
    account.CheckMail(list);
    const cli::Report made = cli::MakeReport(account, list);
    std::string uids;
    for (int i = 0; list != nullptr && i < list->GetCount(); ++i) {
        uids += list->GetUid(i) + " ";
    }
    delete list;
    if (report != nullptr) {
        *report = made;
    }
    return made.hasList ? cli::FormatText(made) + uids : cli::FormatJson(made);
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
        server.Reply("+OK hi\r\n")
            .Exchanges({"CAPA\r\n", c.before, "USER ann\r\n", "+OK\r\n", "PASS secret\r\n",
                        "+OK\r\n", "CAPA\r\n", c.after, "STAT\r\n", "+OK 0 0\r\n"});
        Account account = AccountFor(server);
        Check(account);
        ASSERT_EQ(account.GetStatus(), Account::MailboxEmpty) << account.GetErrorText();
        EXPECT_EQ(account.GetLoginDelay(), c.delay);
        ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));

        // Too soon, in this process and in the next one (the profile keeps it): refused
        // before anything goes out, as a fault that passes.
        Account next = AccountFor(server);
        for (Account* again : {&account, &next}) {
            cli::Report report;
            Check(*again, &report);
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
        later.Login().Exchanges({"CAPA\r\n", "-ERR\r\n", "STAT\r\n", "+OK 0 0\r\n"});
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
        server.Reply("+OK hi\r\n")
            .Exchanges(
                {"CAPA\r\n", "-ERR\r\n", "USER ann\r\n", "+OK\r\n", "PASS secret\r\n", c.refusal});
        Account account = AccountFor(server);
        cli::Report report;
        EXPECT_EQ(Check(account, &report), "{\"status\":\"failed\",\"error\":\"Bad Password Name\","
                                           "\"reason\":\"" +
                                               std::string(c.reason) + "\",\"server\":\"" +
                                               c.words + "\"}\n");
        EXPECT_EQ(cli::ExitStatus(report), c.exit);
        EXPECT_EQ(account.GetErrorTextWithServerWords(),
                  "Bad Password Name\nThe server said: " + c.words);
    }
}

TEST(AccountLogin, APipelinedFlightCarriesTheLoginStatAndUidlAndARefusalEndsIt) {
    const std::string flight = "USER ann\r\nPASS secret\r\nCAPA\r\nSTAT\r\nUIDL\r\n";
    const std::string top = "+OK\r\nFrom: Ann\r\nTo: B\r\nSubject: Hi\r\nDate: d\r\n\r\nb\r\n.\r\n";
    const std::string refused =
        "{\"status\":\"failed\",\"error\":\"Bad Password Name\",\"reason\":\"auth\","
        "\"server\":\"Wrong\"}\n";
    // What the server answers to the flight; then, when the login was taken, the listing.
    const struct {
        const char* name;
        std::string answers;
        bool hangUp;
        std::string output;
    } cases[] = {
        {"taken",
         "+OK\r\n+OK in\r\n+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n+OK 2 1530\r\n"
         "+OK\r\n1 a\r\n2 b\r\n.\r\n",
         false, "2 messages waiting.\n1\t2 KB\tAnn\tHi\n2\t1 KB\tAnn\tHi\na b "},
        {"refused", "+OK\r\n-ERR [AUTH] Wrong\r\n+OK\r\nUSER\r\n.\r\n-ERR no\r\n-ERR no\r\n", false,
         refused},
        {"refused, then hung up", "+OK\r\n-ERR [AUTH] Wrong\r\n+OK\r\nUSER\r\n", true, refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool taken = c.output != refused;
        const std::string listing = "LIST\r\nTOP 1 8\r\nTOP 2 8\r\nQUIT\r\n";
        // Nothing of a flight is answered before all of it has come: a client that waited
        // for a reply in between would wait in vain, and fail.
        ScriptedPop3Server server;
        server.Reply("+OK hi\r\n")
            .Exchanges({"CAPA\r\n", "+OK\r\nUSER\r\nUIDL\r\nPIPELINING\r\n.\r\n"});
        server.Expect(flight).Reply(c.answers);
        if (taken) {
            server.Expect(listing).Reply("+OK\r\n1 1500\r\n2 30\r\n.\r\n" + top + top +
                                         "+OK bye\r\n");
        }
        if (c.hangUp) {
            server.CloseConnection();
        }
        Account account = AccountFor(server);
        cli::Report report;
        EXPECT_EQ(Check(account, &report), c.output);
        EXPECT_EQ(cli::ExitStatus(report), taken ? 0 : 2);
        ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
        server.Stop();
        EXPECT_TRUE(server.Mismatches().empty());
        EXPECT_EQ(server.Received(), "CAPA\r\n" + flight + (taken ? listing : ""));
    }
}

} // namespace
