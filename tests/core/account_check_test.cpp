// Mailbox checks and deletions through Account, against the scripted POP3 server.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pop3/messages.h"
#include "settings/account.h"
#include "support/scripted_pop3_server.h"

namespace {

using testsupport::Mailbox;
using testsupport::MakeMessage;
using testsupport::ScriptedPop3Server;

const std::string kLogin = "USER ann\r\nPASS secret\r\n";
const std::string kCountOnly = kLogin + "STAT\r\nQUIT\r\n";

Mailbox ThreeMessages() {
    Mailbox box;
    box.messages = {MakeMessage("Ann <ann@example.org>", "First", {"one", "two"}),
                    MakeMessage("Bob <bob@example.org>", "Second", {"three"}),
                    MakeMessage("Cy <cy@example.org>", "Third", {})};
    return box;
}

// The caller's side of a check: it owns the list the account may replace.
struct OwnedList {
    Messages* list = nullptr;
    ~OwnedList() { delete list; }
    void MakeOld() {
        delete list;
        list = new Messages(1);
        list->Add("Old", "Old", 1, "old");
    }
    std::string Rows() const { // From, Subject, size in KB and summary of each message
        std::string rows;
        for (int i = 0; i < list->GetCount(); ++i) {
            rows += list->GetFrom(i) + "|" + list->GetSubject(i) + "|" + list->GetSize(i) + "|" +
                    list->GetSummary(i) + "\n";
        }
        return rows;
    }
};

// Starts the server and gives the account that checks it.
Account AccountFor(ScriptedPop3Server& server, const Mailbox& box,
                   const std::string& password = "secret") {
    server.ServeMailbox(box);
    server.Start();
    Account account;
    account.Set("ann", password, server.Address(), 8, 1);
    return account;
}

TEST(AccountCheck, EmptyThenThreeThenTheSameThreeAgain) {
    ScriptedPop3Server empty;
    Account account = AccountFor(empty, Mailbox());
    OwnedList owned;
    account.CheckMail(owned.list);
    EXPECT_EQ(account.GetStatus(), Account::MailboxEmpty);
    EXPECT_EQ(owned.list, nullptr);
    ASSERT_TRUE(empty.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(empty.Received(), kLogin + "STAT\r\n") << "an empty box gets no QUIT";

    ScriptedPop3Server three;
    account.m_MailServer = AccountFor(three, ThreeMessages()).m_MailServer;
    owned.MakeOld();
    account.CheckMail(owned.list);
    EXPECT_EQ(account.GetStatus(), Account::ListRebuilt);
    EXPECT_EQ(account.m_MessageCount, 3);
    EXPECT_EQ(owned.Rows(), "Ann <ann@example.org>|First|1|one\r\ntwo\r\n.\r\n\n"
                            "Bob <bob@example.org>|Second|1|three\r\n.\r\n\n"
                            "Cy <cy@example.org>|Third|1|.\r\n\n");

    // The same count again, then a new count with summaries off: only counted.
    Messages* const built = owned.list;
    account.CheckMail(owned.list);
    EXPECT_EQ(account.GetStatus(), Account::CountOnly);
    account.m_MessageCount = 1;
    account.m_Summaries = 0;
    account.CheckMail(owned.list);
    EXPECT_EQ(account.GetStatus(), Account::CountOnly);
    EXPECT_EQ(account.m_MessageCount, 3);
    EXPECT_EQ(owned.list, built);
    ASSERT_TRUE(three.WaitForClosedConnections(3, 5000));
    EXPECT_EQ(three.Received(), kLogin +
                                    "STAT\r\nLIST\r\nTOP 1 8\r\nTOP 2 8\r\nTOP 3 8\r\nQUIT\r\n" +
                                    kCountOnly + kCountOnly);
}

TEST(AccountCheck, SizesAreKilobytesRoundedUpAndAFailedTopStillGetsItsRow) {
    Mailbox box;
    for (const int octets : {1500, 1024, 0, 1025, 2048}) {
        box.messages.push_back(MakeMessage("a", std::to_string(octets), {}));
        box.messages.back().size = octets;
    }
    box.overrides["TOP 2 3\r\n"] = "-ERR no such message\r\n";
    ScriptedPop3Server server;
    Account account = AccountFor(server, box);
    account.m_SummarySize = 3;
    account.m_LastError = "earlier";
    OwnedList owned;
    account.CheckMail(owned.list);
    EXPECT_EQ(account.GetStatus(), Account::ListRebuilt);
    EXPECT_EQ(account.GetErrorText(), "earlier") << "success keeps the text";
    EXPECT_EQ(owned.Rows(), "a|1500|2|.\r\n\n||1|\na|0|0|.\r\n\na|1025|2|.\r\n\na|2048|2|.\r\n\n");
}

TEST(AccountCheck, AFailedCheckKeepsWhatItHadNotYetReplaced) {
    unsigned short closedPort = 0;
    {
        ScriptedPop3Server gone; // its port is free again once it has stopped
        closedPort = gone.Port();
    }
    const std::string closed = "127.0.0.1:" + std::to_string(closedPort);
    const struct {
        const char* password;
        const char* refused; // a command line the server answers "-ERR"
        const char* server;  // instead of the scripted server's
        const char* error;
        std::string sent;
        bool counted; // the count was taken, and the old list replaced by an empty one
    } cases[] = {
        {"wrong", "", nullptr, "Bad Password Name", "USER ann\r\nPASS wrong\r\n", false},
        {"secret", "STAT\r\n", nullptr, "Error occured during STAT", kLogin + "STAT\r\n", false},
        {"secret", "LIST\r\n", nullptr, "Error occured during LIST", kLogin + "STAT\r\nLIST\r\n",
         true},
        {"secret", "", closed.c_str(), "Server cannot be connected", "", false},
        {"secret", "", "host:pop3", "Server cannot be connected", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        Mailbox box = ThreeMessages();
        box.overrides[c.refused] = "-ERR no\r\n";
        ScriptedPop3Server server;
        Account account = AccountFor(server, box, c.password);
        account.m_MailServer = c.server ? c.server : account.m_MailServer;
        account.m_MessageCount = 2;
        OwnedList owned;
        owned.MakeOld();
        account.CheckMail(owned.list);
        EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
        EXPECT_EQ(account.GetErrorText(), c.error);
        EXPECT_EQ(account.m_MessageCount, c.counted ? 3 : 2);
        EXPECT_EQ(owned.Rows(), c.counted ? "" : "Old|Old|1|old\n");
        ASSERT_TRUE(c.sent.empty() || server.WaitForClosedConnections(1, 5000));
        EXPECT_EQ(server.Received(), c.sent);
    }
}

TEST(AccountDelete, DeletionSessionsAsTheServerSeesThem) {
    const struct {
        int message;
        const char* password;
        bool deleted;
        const char* error;
        std::string sent;
    } cases[] = {
        {2, "secret", true, "", kLogin + "DELE 2\r\nQUIT\r\n"},
        {1, "wrong", false, "Bad Password Name", "USER ann\r\nPASS wrong\r\n"},
        {9, "secret", false, "Error occured during DELE", kLogin + "DELE 9\r\n"}, // no QUIT
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        ScriptedPop3Server server;
        Account account = AccountFor(server, ThreeMessages(), c.password);
        account.m_MailServer = "localhost:" + std::to_string(server.Port());
        account.m_MessageCount = 3;
        account.m_Status = Account::MailboxEmpty;
        EXPECT_EQ(account.DeleteMessage(c.message), c.deleted);
        EXPECT_EQ(account.GetErrorText(), c.error);
        EXPECT_EQ(account.m_MessageCount, 3);
        EXPECT_EQ(account.GetStatus(), Account::MailboxEmpty);
        ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
        EXPECT_EQ(server.Received(), c.sent);
        EXPECT_EQ(server.Deleted(), c.deleted ? std::vector<int>{c.message} : std::vector<int>{});
    }
}

} // namespace
