// Mailbox checks and deletions through Account, against the scripted POP3 server.
#include <memory>
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

const char kLogin[] = "USER ann\r\nPASS secret\r\n";
const char kFullCheckOfThree[] = "USER ann\r\nPASS secret\r\nSTAT\r\nLIST\r\n"
                                 "TOP 1 8\r\nTOP 2 8\r\nTOP 3 8\r\nQUIT\r\n";

Mailbox ThreeMessages() {
    Mailbox box;
    box.messages.push_back(MakeMessage("Ann <ann@example.org>", "First", {"one", "two"}));
    box.messages.push_back(MakeMessage("Bob <bob@example.org>", "Second", {"three"}));
    box.messages.push_back(MakeMessage("Cy <cy@example.org>", "Third", {}));
    return box;
}

// The caller's side of a check: it owns the list the account may replace.
class OwnedList {
public:
    OwnedList() = default;
    ~OwnedList() { delete m_list; }
    OwnedList(const OwnedList&) = delete;
    OwnedList& operator=(const OwnedList&) = delete;

    Messages*& Ref() { return m_list; }
    Messages* operator->() const { return m_list; }
    Messages* Get() const { return m_list; }

private:
    Messages* m_list = nullptr;
};

// A list that no check of this account built, to see whether a check kept it.
void GiveOldList(OwnedList& list) {
    delete list.Ref();
    list.Ref() = new Messages(1);
    list->Add("Old <old@example.org>", "Old", 1, "old");
}

Account AccountFor(const ScriptedPop3Server& server, const std::string& password = "secret") {
    Account account;
    account.Set("ann", password, server.Address(), 8, 1);
    return account;
}

void ExpectStartsWith(const std::string& text, const std::string& prefix) {
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
}

TEST(AccountCheckTest, AMailboxGoingFromEmptyToThreeMessages) {
    ScriptedPop3Server empty;
    empty.ServeMailbox(Mailbox());
    empty.Start();
    Account account = AccountFor(empty);
    OwnedList list;

    account.CheckMail(list.Ref());
    EXPECT_EQ(account.GetStatus(), Account::MailboxEmpty);
    EXPECT_EQ(account.m_MessageCount, 0);
    EXPECT_EQ(list.Get(), nullptr);
    ASSERT_TRUE(empty.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(empty.Received(), std::string(kLogin) + "STAT\r\n") << "an empty box gets no QUIT";

    ScriptedPop3Server three;
    three.ServeMailbox(ThreeMessages());
    three.Start();
    account.m_MailServer = three.Address();
    account.CheckMail(list.Ref());
    EXPECT_EQ(account.GetStatus(), Account::ListRebuilt);
    EXPECT_EQ(account.m_MessageCount, 3);
    ASSERT_NE(list.Get(), nullptr);
    ASSERT_EQ(list->GetCount(), 3);
    EXPECT_EQ(list->GetFrom(0), "Ann <ann@example.org>");
    EXPECT_EQ(list->GetSubject(0), "First");
    ExpectStartsWith(list->GetSummary(0), "one\r\ntwo\r\n");
    EXPECT_EQ(list->GetFrom(1), "Bob <bob@example.org>");
    EXPECT_EQ(list->GetSubject(1), "Second");
    ExpectStartsWith(list->GetSummary(1), "three\r\n");
    EXPECT_EQ(list->GetFrom(2), "Cy <cy@example.org>");
    EXPECT_EQ(list->GetSubject(2), "Third");
    ASSERT_TRUE(three.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(three.Received(), kFullCheckOfThree);
}

TEST(AccountCheckTest, ASecondCheckWithTheSameCountOnlyCounts) {
    ScriptedPop3Server server;
    server.ServeMailbox(ThreeMessages());
    server.Start();
    Account account = AccountFor(server);
    OwnedList list;
    GiveOldList(list);

    account.CheckMail(list.Ref());
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt);
    ASSERT_EQ(list->GetCount(), 3);
    Messages* const built = list.Get();

    account.CheckMail(list.Ref());
    EXPECT_EQ(account.GetStatus(), Account::CountOnly);
    EXPECT_EQ(account.m_MessageCount, 3);
    EXPECT_EQ(list.Get(), built);
    EXPECT_EQ(list->GetCount(), 3);
    EXPECT_EQ(list->GetSubject(2), "Third");
    ASSERT_TRUE(server.WaitForClosedConnections(2, 5000));
    EXPECT_EQ(server.Received(), std::string(kFullCheckOfThree) + kLogin + "STAT\r\nQUIT\r\n");
}

TEST(AccountCheckTest, WithSummariesOffOnlyTheCountIsFetched) {
    ScriptedPop3Server server;
    server.ServeMailbox(ThreeMessages());
    server.Start();
    Account account = AccountFor(server);
    account.m_Summaries = 0;
    OwnedList list;

    for (int check = 0; check < 2; ++check) {
        account.CheckMail(list.Ref());
        EXPECT_EQ(account.GetStatus(), Account::CountOnly);
        EXPECT_EQ(account.m_MessageCount, 3);
        EXPECT_EQ(list.Get(), nullptr);
    }
    ASSERT_TRUE(server.WaitForClosedConnections(2, 5000));
    const std::string session = std::string(kLogin) + "STAT\r\nQUIT\r\n";
    EXPECT_EQ(server.Received(), session + session);
}

TEST(AccountCheckTest, SizesAreKilobytesRoundedUp) {
    ScriptedPop3Server server;
    Mailbox box;
    for (const int octets : {1500, 1024, 0, 1, 1025, 2048}) {
        box.messages.push_back(MakeMessage("a@example.org", std::to_string(octets), {"x"}));
        box.messages.back().size = octets;
    }
    server.ServeMailbox(box);
    server.Start();
    Account account = AccountFor(server);
    OwnedList list;

    account.CheckMail(list.Ref());
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    ASSERT_EQ(list->GetCount(), 6);
    const std::vector<std::string> expected = {"2", "1", "0", "1", "2", "2"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(list->GetSize(i), expected[static_cast<std::size_t>(i)])
            << list->GetSubject(i) << " octets";
}

TEST(AccountCheckTest, AFailedLoginFailsTheCheckAndKeepsEverythingElse) {
    ScriptedPop3Server server;
    server.ServeMailbox(ThreeMessages());
    server.Start();
    Account account = AccountFor(server, "wrong");
    account.m_MessageCount = 2;
    OwnedList list;
    GiveOldList(list);

    account.CheckMail(list.Ref());
    EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
    EXPECT_EQ(account.GetErrorText(), "Bad Password Name");
    EXPECT_EQ(account.m_MessageCount, 2);
    ASSERT_EQ(list->GetCount(), 1);
    EXPECT_EQ(list->GetSubject(0), "Old");
    ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(server.Received(), "USER ann\r\nPASS wrong\r\n");
}

TEST(AccountCheckTest, AServerThatCannotBeReachedFailsTheCheck) {
    unsigned short closedPort = 0;
    {
        ScriptedPop3Server gone; // its port is free again once it has stopped
        closedPort = gone.Port();
    }
    for (const std::string& server : {"127.0.0.1:" + std::to_string(closedPort), std::string(),
                                      std::string("host:pop3"), std::string("127.0.0.1:70000")}) {
        SCOPED_TRACE("server \"" + server + "\"");
        Account account;
        account.Set("ann", "secret", server, 8, 1);
        OwnedList list;
        account.CheckMail(list.Ref());
        EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
        EXPECT_EQ(account.GetErrorText(), "Server cannot be connected");
        EXPECT_EQ(list.Get(), nullptr);
    }
}

TEST(AccountCheckTest, AFailedStatLeavesTheCountAndTheList) {
    ScriptedPop3Server server;
    Mailbox box = ThreeMessages();
    box.overrides["STAT\r\n"] = "-ERR mailbox locked\r\n";
    server.ServeMailbox(box);
    server.Start();
    Account account = AccountFor(server);
    account.m_MessageCount = 7;
    OwnedList list;
    GiveOldList(list);

    account.CheckMail(list.Ref());
    EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
    EXPECT_EQ(account.GetErrorText(), "Error occured during STAT");
    EXPECT_EQ(account.m_MessageCount, 7);
    EXPECT_EQ(list->GetSubject(0), "Old");
}

TEST(AccountCheckTest, AFailedListKeepsTheNewEmptyList) {
    ScriptedPop3Server server;
    Mailbox box = ThreeMessages();
    box.overrides["LIST\r\n"] = "-ERR not now\r\n";
    server.ServeMailbox(box);
    server.Start();
    Account account = AccountFor(server);
    OwnedList list;
    GiveOldList(list);

    account.CheckMail(list.Ref());
    EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
    EXPECT_EQ(account.GetErrorText(), "Error occured during LIST");
    EXPECT_EQ(account.m_MessageCount, 3);
    ASSERT_NE(list.Get(), nullptr);
    EXPECT_EQ(list->GetCount(), 0);
    ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(server.Received(), std::string(kLogin) + "STAT\r\nLIST\r\n");

    // The count was taken, so the same count next time is only counted.
    account.CheckMail(list.Ref());
    EXPECT_EQ(account.GetStatus(), Account::CountOnly);
    EXPECT_EQ(account.GetErrorText(), "Error occured during LIST") << "success keeps the text";
    EXPECT_EQ(list->GetCount(), 0);
}

TEST(AccountCheckTest, AMessageWhoseTopFailsStillGetsItsRow) {
    ScriptedPop3Server server;
    Mailbox box = ThreeMessages();
    box.overrides["TOP 2 8\r\n"] = "-ERR no such message\r\n";
    server.ServeMailbox(box);
    server.Start();
    Account account = AccountFor(server);
    account.m_LastError = "earlier failure";
    OwnedList list;

    account.CheckMail(list.Ref());
    EXPECT_EQ(account.GetStatus(), Account::ListRebuilt);
    EXPECT_EQ(account.GetErrorText(), "earlier failure");
    ASSERT_EQ(list->GetCount(), 3);
    EXPECT_EQ(list->GetFrom(0), "Ann <ann@example.org>");
    EXPECT_EQ(list->GetFrom(1), "");
    EXPECT_EQ(list->GetSubject(1), "");
    EXPECT_EQ(list->GetFrom(2), "Cy <cy@example.org>");
    ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(server.Received(), kFullCheckOfThree);
}

TEST(AccountDeleteTest, ADeletionIsOneShortSession) {
    ScriptedPop3Server server;
    server.ServeMailbox(ThreeMessages());
    server.Start();
    Account account;
    account.Set("ann", "secret", "localhost:" + std::to_string(server.Port()), 8, 1);
    account.m_MessageCount = 3;
    account.m_Status = Account::CountOnly;

    EXPECT_TRUE(account.DeleteMessage(2)) << account.GetErrorText();
    EXPECT_EQ(account.m_MessageCount, 3);
    EXPECT_EQ(account.GetStatus(), Account::CountOnly);
    ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(server.Received(), std::string(kLogin) + "DELE 2\r\nQUIT\r\n");
    EXPECT_EQ(server.Deleted(), std::vector<int>{2});
    EXPECT_EQ(server.MessagesLeft(), 2);
}

TEST(AccountDeleteTest, AWrongPasswordFailsAndLeavesTheStatus) {
    ScriptedPop3Server server;
    server.ServeMailbox(ThreeMessages());
    server.Start();
    Account account = AccountFor(server, "wrong");
    account.m_Status = Account::MailboxEmpty;

    EXPECT_FALSE(account.DeleteMessage(1));
    EXPECT_EQ(account.GetErrorText(), "Bad Password Name");
    EXPECT_EQ(account.GetStatus(), Account::MailboxEmpty);
    ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(server.Received(), "USER ann\r\nPASS wrong\r\n");
    EXPECT_EQ(server.MessagesLeft(), 3);
}

TEST(AccountDeleteTest, ARefusedDeleSendsNoQuit) {
    ScriptedPop3Server server;
    Mailbox box = ThreeMessages();
    box.overrides["DELE 9\r\n"] = "-ERR no such message\r\n";
    server.ServeMailbox(box);
    server.Start();
    Account account = AccountFor(server);

    EXPECT_FALSE(account.DeleteMessage(9));
    EXPECT_EQ(account.GetErrorText(), "Error occured during DELE");
    ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(server.Received(), std::string(kLogin) + "DELE 9\r\n");
    EXPECT_EQ(server.MessagesLeft(), 3);
}

} // namespace
