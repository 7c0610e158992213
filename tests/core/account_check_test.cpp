// Mailbox checks and deletions through Account, against the scripted POP3 server.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cli/report.h"
#include "net/cancel_signal.h"
#include "pop3/messages.h"
#include "settings/account.h"
#include "support/scripted_pop3_server.h"

namespace {

using testsupport::Mailbox;
using testsupport::MakeMessage;
using testsupport::ScriptedPop3Server;

const std::string kLogin = "CAPA\r\nUSER ann\r\nPASS secret\r\n";
// A server without CAPA may still have UIDL: it is tried once the count is known.
const std::string kCountOnly = kLogin + "CAPA\r\nSTAT\r\nUIDL\r\nQUIT\r\n";
// Without UIDL the sizes tell whether the messages are still the list's.
const std::string kSizesCompared = kLogin + "CAPA\r\nSTAT\r\nUIDL\r\nLIST\r\nQUIT\r\n";
const std::string kThreeListed =
    "LIST\r\nTOP 1 8\r\nTOP 2 8\r\nTOP 3 8\r\nQUIT\r\n"; // after STAT (and UIDL)

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
    std::string Uids() const {
        std::string uids;
        for (int i = 0; i < list->GetCount(); ++i) {
            uids += list->GetUid(i) + " ";
        }
        return uids;
    }
};

// Starts the server and gives the account that checks it.
Account AccountFor(ScriptedPop3Server& server, int timeoutMs = 0) {
    server.Start();
    Account account;
    account.Set("ann", "secret", server.Address(), 8, 1);
    if (timeoutMs > 0) {
        account.SetTimeout(timeoutMs);
    }
    return account;
}

// Runs a check that must fail with the error and keep the old count and list; gives the time
// it took.
std::chrono::steady_clock::duration FailsKeepingTheOld(Account& account, const char* error) {
    account.m_MessageCount = 7;
    OwnedList owned;
    owned.MakeOld();
    const auto start = std::chrono::steady_clock::now();
    account.CheckMail(owned.list);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
    EXPECT_EQ(account.GetErrorText(), error);
    EXPECT_EQ(account.m_MessageCount, 7); // the count goes with the list kept
    EXPECT_EQ(owned.Rows(), "Old|Old|1|old\n");
    return elapsed;
}

TEST(AccountCheck, CountsAndUniqueIdsDecideWhetherTheListIsRebuilt) {
    ScriptedPop3Server empty;
    Account account = AccountFor(empty.ServeMailbox(Mailbox()));
    OwnedList owned;
    account.CheckMail(owned.list);
    EXPECT_EQ(account.GetStatus(), Account::MailboxEmpty);
    EXPECT_EQ(owned.list, nullptr);
    ASSERT_TRUE(empty.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(empty.Received(), kLogin + "CAPA\r\nSTAT\r\n") << "an empty box gets no QUIT";

    ScriptedPop3Server three;
    account.m_MailServer = AccountFor(three.ServeMailbox(ThreeMessages())).m_MailServer;
    owned.MakeOld();
    account.CheckMail(owned.list);
    EXPECT_EQ(account.GetStatus(), Account::ListRebuilt);
    EXPECT_EQ(account.m_MessageCount, 3);
    EXPECT_EQ(owned.Rows(), "Ann <ann@example.org>|First|1|one\r\ntwo\r\n\n"
                            "Bob <bob@example.org>|Second|1|three\r\n\n"
                            "Cy <cy@example.org>|Third|1|\n");

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
    EXPECT_EQ(three.Received(), kLogin + "CAPA\r\nSTAT\r\nUIDL\r\n" + kThreeListed +
                                    kSizesCompared + kLogin + "CAPA\r\nSTAT\r\nQUIT\r\n");

    // With UIDL the same count rebuilds when the ids are not the list's (it had none).
    Mailbox box = ThreeMessages();
    box.capabilities = {"TOP", "UIDL"};
    ScriptedPop3Server first;
    account.m_MailServer = AccountFor(first.ServeMailbox(box)).m_MailServer;
    account.m_Summaries = 1;
    account.CheckMail(owned.list);
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    EXPECT_EQ(owned.Uids(), "uid1 uid2 uid3 ");
    Messages* const withUids = owned.list;
    account.CheckMail(owned.list);
    EXPECT_EQ(account.GetStatus(), Account::CountOnly);
    EXPECT_EQ(owned.list, withUids);
    ASSERT_TRUE(first.WaitForClosedConnections(2, 5000));
    EXPECT_EQ(first.Received(), kLogin + "CAPA\r\nSTAT\r\nUIDL\r\n" + kThreeListed + kCountOnly);

    // Message 2 was replaced by another while the count stayed; this server learns UIDL
    // only by trying it, because it refuses CAPA.
    box.messages[1] = MakeMessage("Dan <dan@example.org>", "Replacement", {});
    box.messages[1].uid = "new2";
    box.overrides["CAPA\r\n"] = "-ERR what?\r\n";
    ScriptedPop3Server second;
    account.m_MailServer = AccountFor(second.ServeMailbox(box)).m_MailServer;
    account.CheckMail(owned.list);
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    EXPECT_EQ(owned.list->GetSubject(1), "Replacement");
    EXPECT_EQ(owned.Uids(), "uid1 new2 uid3 ");
}

TEST(AccountCheck, SizesAreKilobytesRoundedUpAndAFailedTopStillGetsItsRow) {
    Mailbox box;
    for (const std::int64_t octets : {1500LL, 1024LL, 0LL, 1025LL, 5000000000LL}) {
        box.messages.push_back(MakeMessage("a", std::to_string(octets), {}));
        box.messages.back().size = octets;
    }
    box.overrides["TOP 2 3\r\n"] = "-ERR no such message\r\n";
    ScriptedPop3Server server;
    Account account = AccountFor(server.ServeMailbox(box));
    account.m_SummarySize = 3;
    account.m_LastError = "earlier";
    OwnedList owned;
    account.CheckMail(owned.list);
    EXPECT_EQ(account.GetStatus(), Account::ListRebuilt);
    EXPECT_EQ(account.GetErrorText(), "earlier") << "success keeps the text";
    EXPECT_EQ(owned.Rows(), "a|1500|2|\n||1|\na|0|0|\na|1025|2|\na|5000000000|4882813|\n");
    // Past 4 GB the size reaches the command line's text and JSON whole.
    const cli::Report report = cli::MakeReport(account, owned.list);
    EXPECT_NE(cli::FormatText(report).find("\n5\t4882813 KB\ta\t5000000000\n"), std::string::npos);
    EXPECT_NE(cli::FormatJson(report).find("\"size_kb\":4882813,"), std::string::npos);
}

TEST(AccountCheck, AFailedCheckKeepsWhatItHadNotYetReplaced) {
    unsigned short closedPort = 0;
    {
        ScriptedPop3Server gone; // its port is free again once it has stopped
        closedPort = gone.Port();
    }
    const std::string closed = "127.0.0.1:" + std::to_string(closedPort);
    const struct {
        const char* refused; // a command line the server answers "-ERR"
        const char* server;  // instead of the scripted server's
        const char* error;
        std::string sent;
    } cases[] = {
        {"STAT\r\n", nullptr, "Error occured during STAT", kLogin + "CAPA\r\nSTAT\r\n"},
        {"LIST\r\n", nullptr, "Error occured during LIST",
         kLogin + "CAPA\r\nSTAT\r\nUIDL\r\nLIST\r\n"},
        {"", closed.c_str(), "Server cannot be connected", ""},
        {"", "host:pop3", "Server cannot be connected", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        Mailbox box = ThreeMessages();
        box.overrides[c.refused] = "-ERR no\r\n";
        ScriptedPop3Server server;
        Account account = AccountFor(server.ServeMailbox(box));
        account.m_MailServer = c.server ? c.server : account.m_MailServer;
        FailsKeepingTheOld(account, c.error);
        ASSERT_TRUE(c.sent.empty() || server.WaitForClosedConnections(1, 5000));
        EXPECT_EQ(server.Received(), c.sent);
    }
}

TEST(AccountCheck, ABrokenOrHostileServerEndsTheCheckInACleanFailureKeepingTheOldList) {
    const char* const kLate = "Server did not answer in time";
    const char* const kTooMuch = "The server sent more than expected";
    const char* const kNotUnderstood = "The server's reply was not understood";
    const char* const kCut = "Error reading from socket!";
    const std::string capa = "+OK\r\nTOP\r\n.\r\n", piped = "+OK\r\nPIPELINING\r\n.\r\n";
    const std::string uidl = "+OK\r\nUIDL\r\n.\r\n", two = "+OK\r\n1 100\r\n2 100\r\n.\r\n";
    const std::string top = "+OK\r\nFrom: A\r\nSubject: S\r\nTo: B\r\nDate: d\r\n\r\nbody\r\n.\r\n";
    const std::string three = "+OK\r\n1 100\r\n2 100\r\n3 100\r\n.\r\n", cut = top.substr(0, 20);
    // Nothing goes out after a failure; pipelined, QUIT left with the TOPs before it.
    const char* const kTwoTops = "LIST\r\nTOP 1 8\r\nTOP 2 8\r\n";
    const char* const kAllTops = "LIST\r\nTOP 1 8\r\nTOP 2 8\r\nTOP 3 8\r\nQUIT\r\n";
    const std::string loneDot = "+OK\r\nFrom: A\r\n.\r\nSubject: S\r\n\r\nbody\r\n.\r\n";
    // After a lone "." comes what looks like a reply: each reply is taken for the one before.
    const std::string madeUp = "+OK\r\nFrom: A\r\n.\r\n+OK\r\nFrom: Forged\r\n\r\n.\r\n";
    std::string flood = "+OK\r\n", threeMb = "+OK\r\n", twenty = "+OK\r\n";
    while (flood.size() < (1 << 20)) {
        flood += "x\r\n";
    }
    for (int n = 1; threeMb.size() < 3000000; ++n) { // a large mailbox's listing, unfinished
        threeMb += std::to_string(n) + " 1000" + std::string(70, ' ') + "\r\n";
    }
    std::vector<std::string> slow = {capa, "+OK 20 2000\r\n", ""};
    for (int n = 1; n <= 20; ++n) {
        twenty += std::to_string(n) + " 100\r\n";
        slow.push_back(top);
    }
    slow[2] = twenty + ".\r\n";
    // The replies to the commands in turn, from CAPA on; then silence or a hang-up.
    const struct {
        const char* fault;
        std::vector<std::string> replies;
        const char* error;
        int lateMs = 0;      // before each reply
        int checkMs = 10000; // the whole check's limit
        bool hangUp = false;
        const char* afterList = nullptr; // all that went out from LIST on
    } cases[] = {
        {"silent at TOP 2", {capa, "+OK 3 300\r\n", three, top}, kLate, 0, 10000, false, kTwoTops},
        {"the same, pipelined",
         {piped, "+OK 3 300\r\n", three, top},
         kLate,
         0,
         10000,
         false,
         kAllTops},
        {"cut at TOP 2", {capa, "+OK 3 300\r\n", three, top, cut}, kCut, 0, 10000, true, kTwoTops},
        {"the same, pipelined",
         {piped, "+OK 3 300\r\n", three, top, cut},
         kCut,
         0,
         10000,
         true,
         kAllTops},
        {"claims 20 million", {"-ERR\r\n", "+OK 20000000 1\r\n", "-ERR\r\n", two}, kNotUnderstood},
        {"CAPA flood", {flood}, kTooMuch},
        {"UIDL flood", {uidl, "+OK 3 300\r\n", flood}, kTooMuch},
        {"LIST flood", {capa, "+OK 3 300\r\n", flood}, kTooMuch},
        // 3 MB earn minutes of allowance, but never a silence longer than the limit.
        {"3 MB, then silence", {capa, "+OK 40000 9\r\n", threeMb}, kLate},
        // Each reply within its limit, the check as a whole not.
        {"every reply late", slow, kLate, 250, 1500},
        {"a lone \".\" in headers", {capa, "+OK 2 9\r\n", two, loneDot, top}, kNotUnderstood},
        {"the same, pipelined", {piped, "+OK 2 9\r\n", two, loneDot, top}, kNotUnderstood},
        {"a reply made up", {piped, "+OK 2 9\r\n", two, madeUp, top, "+OK\r\n"}, kNotUnderstood},
        {"no count", {capa, "+OK\r\n"}, kNotUnderstood},
        {"a count that is no number", {capa, "+OK 5x 100\r\n"}, kNotUnderstood},
        {"LIST past the count", {capa, "+OK 2 9\r\n", "+OK\r\n3 1\r\n.\r\n"}, kNotUnderstood},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ScriptedPop3Server server;
        server.Login();
        for (const std::string& reply : c.replies) {
            server.Expect("").ReplyInPieces({"", reply}, c.lateMs);
        }
        c.hangUp ? server.CloseConnection() : server.Silence();
        Account account = AccountFor(server, 300);
        account.SetSessionLimit(c.checkMs);
        const auto elapsed = FailsKeepingTheOld(account, c.error);
        // A silence may pass; a server that floods or garbles will do it again.
        EXPECT_EQ(c.error == kLate ? "timeout"
                  : c.hangUp       ? "network"
                                   : "protocol",
                  account.GetFailureReason());
        // Soon, unless the whole check's limit is what ends it, and then just after it.
        EXPECT_LT(elapsed, std::chrono::milliseconds(c.checkMs < 10000 ? c.checkMs + 1000 : 5000));
        EXPECT_GE(elapsed, std::chrono::milliseconds(c.checkMs < 10000 ? c.checkMs : 0));
        if (c.afterList != nullptr) {
            server.Stop();
            const std::string sent = server.Received();
            EXPECT_EQ(sent.substr(std::min(sent.find("LIST"), sent.size())), c.afterList);
        }
    }
}

TEST(AccountCheck, PipelinedRepliesSplitAtEveryPointGiveTheSameRows) {
    const std::string replies = "+OK 2 messages\r\n1 1500\r\n2 30\r\n.\r\n"
                                "+OK\r\nFrom: Ann\r\nSubject: Hi\r\n\r\nbody\r\n.\r\n"
                                "-ERR gone\r\n";
    for (std::size_t cut = 1; cut < replies.size(); ++cut) {
        SCOPED_TRACE(replies.substr(0, cut));
        ScriptedPop3Server server;
        server.Login().Exchanges(
            {"CAPA\r\n", "+OK\r\nPIPELINING\r\n.\r\n", "STAT\r\n", "+OK 2 1530\r\n"});
        server.Expect("LIST\r\nTOP 1 8\r\nTOP 2 8\r\n");
        server.ReplyInPieces({replies.substr(0, cut), replies.substr(cut)}, 2);
        server.Exchanges({"QUIT\r\n", "+OK\r\n"});
        Account account = AccountFor(server, 2000);
        OwnedList owned;
        account.CheckMail(owned.list);
        ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
        EXPECT_EQ(owned.Rows(), "Ann|Hi|2|body\r\n\n||1|\n");
        server.Stop();
        EXPECT_TRUE(server.Mismatches().empty());
    }
}

TEST(AccountDelete, DeletionSessionsAsTheServerSeesThem) {
    // The rows of the three messages as a check with UIDL builds them.
    Mailbox listed = ThreeMessages();
    listed.capabilities = {"UIDL"};
    ScriptedPop3Server lister;
    Account checker = AccountFor(lister.ServeMailbox(listed));
    OwnedList rows;
    checker.CheckMail(rows.list);
    ASSERT_EQ(checker.GetStatus(), Account::ListRebuilt) << checker.GetErrorText();
    const auto row = [&](int i, bool withUid) {
        MessageIdentity identity = rows.list->GetIdentity(i);
        if (!withUid)
            identity.uid.clear();
        return identity;
    };

    const std::vector<std::string> kNone, kUidl = {"UIDL"}, kTop = {"TOP"};
    const struct {
        std::vector<std::string> capabilities; // none: CAPA and UIDL are refused
        int message;
        const char* password;
        MessageIdentity expected;
        bool deleted, stale;
        const char* error; // of a failure that is no stale refusal
        std::string sent;
    } cases[] = {
        // Without an id: the size and the header block, and nothing else, are asked for.
        {kNone, 2, "secret", row(1, false), true, false, "",
         kLogin + "LIST 2\r\nTOP 2 0\r\nDELE 2\r\nQUIT\r\n"},
        {kNone, 2, "secret", row(2, false), false, true, "", kLogin + "LIST 2\r\nQUIT\r\n"},
        {kNone, 1, "wrong", row(0, false), false, false, "Bad Password Name",
         "CAPA\r\nUSER ann\r\nPASS wrong\r\n"},
        {kUidl, 2, "secret", row(1, true), true, false, "",
         kLogin + "CAPA\r\nUIDL 2\r\nDELE 2\r\nQUIT\r\n"},
        {kUidl, 2, "secret", row(2, true), false, true, "", kLogin + "CAPA\r\nUIDL 2\r\nQUIT\r\n"},
        // An id, but a server that has no UIDL (any more): the number alone never decides.
        {kTop, 2, "secret", row(2, true), false, true, "", kLogin + "CAPA\r\nLIST 2\r\nQUIT\r\n"},
        {kTop, 2, "secret", row(1, true), true, false, "",
         kLogin + "CAPA\r\nLIST 2\r\nTOP 2 0\r\nDELE 2\r\nQUIT\r\n"},
        {kNone, 2, "secret", row(1, true), true, false, "",
         kLogin + "CAPA\r\nUIDL 2\r\nLIST 2\r\nTOP 2 0\r\nDELE 2\r\nQUIT\r\n"},
    };
    Account account; // one record: a refusal must not outlive the next deletion
    account.m_MessageCount = 3;
    account.m_Status = Account::MailboxEmpty;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        Mailbox box = ThreeMessages();
        box.capabilities = c.capabilities;
        ScriptedPop3Server server;
        AccountFor(server.ServeMailbox(box));
        account.Set("ann", c.password, "localhost:" + std::to_string(server.Port()), 8, 1);
        EXPECT_EQ(account.DeleteMessage(c.message, c.expected), c.deleted);
        EXPECT_EQ(account.DeleteRefusedAsStale(), c.stale);
        if (!c.deleted && !c.stale) {
            EXPECT_EQ(account.GetErrorText(), c.error);
        }
        EXPECT_EQ(account.m_MessageCount, 3);
        EXPECT_EQ(account.GetStatus(), Account::MailboxEmpty);
        ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
        EXPECT_EQ(server.Received(), c.sent);
        EXPECT_EQ(server.Deleted(), c.deleted ? std::vector<int>{c.message} : std::vector<int>{});
    }
}

TEST(AccountDelete, WithoutUniqueIdsTheRowShownIsTheMessageDeleted) {
    // A and D are of one size, B and C of another; the server has no UIDL.
    const auto sized = [](const std::string& from, const std::string& subject, std::size_t size) {
        testsupport::MailMessage m = MakeMessage(from, subject, {});
        m.body = std::string(size - m.headers.size() - 2 - 2, 'x') + "\r\n";
        return m;
    };
    const auto a = sized("A <a@example.org>", "Invoice", 600);
    const auto b = sized("B <b@example.org>", "Hello", 900);
    const auto c = sized("C <c@example.org>", "Keep me", 900);
    const auto d = sized("D <d@example.org>", "Invoice!", 600);
    ASSERT_EQ(a.Octets(), d.Octets());
    ASSERT_EQ(b.Octets(), c.Octets());
    Mailbox before;
    before.messages = {a, b, c};
    ScriptedPop3Server first;
    Account account = AccountFor(first.ServeMailbox(before));
    OwnedList owned;
    account.CheckMail(owned.list);
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();

    // A phone deleted A and D arrived: the count is still 3, and the row "Hello" is now
    // message 2's number while message 2 is C.
    Mailbox after;
    after.messages = {b, c, d};
    ScriptedPop3Server second;
    account.m_MailServer = AccountFor(second.ServeMailbox(after)).m_MailServer;
    ASSERT_EQ(owned.list->GetSubject(1), "Hello");
    EXPECT_FALSE(account.DeleteMessage(2, owned.list->GetIdentity(1)));
    EXPECT_TRUE(account.DeleteRefusedAsStale());
    // The check that follows sees the sizes move and builds the rows afresh.
    account.CheckMail(owned.list);
    ASSERT_EQ(account.GetStatus(), Account::ListRebuilt) << account.GetErrorText();
    EXPECT_EQ(owned.list->GetSubject(0) + "|" + owned.list->GetSubject(1) + "|" +
                  owned.list->GetSubject(2),
              "Hello|Keep me|Invoice!");
    // Now the row "Hello" is message 1: its size and headers match, and it goes.
    EXPECT_TRUE(account.DeleteMessage(1, owned.list->GetIdentity(0))) << account.GetErrorText();
    ASSERT_TRUE(second.WaitForClosedConnections(3, 5000));
    EXPECT_EQ(second.Deleted(), std::vector<int>{1});
    EXPECT_EQ(second.Received(), kLogin + "LIST 2\r\nTOP 2 0\r\nQUIT\r\n" + kLogin +
                                     "CAPA\r\nSTAT\r\nUIDL\r\nLIST\r\nTOP 1 8\r\nTOP 2 8\r\n"
                                     "TOP 3 8\r\nQUIT\r\n" +
                                     kLogin + "LIST 1\r\nTOP 1 0\r\nDELE 1\r\nQUIT\r\n");
}

TEST(AccountCheck, ACancelEndsACheckThatWaitsOnASilentServerLongBeforeItsLimit) {
    for (const bool beforeConnect : {false, true}) {
        SCOPED_TRACE(beforeConnect ? "cancelled before connecting" : "cancelled while waiting");
        ScriptedPop3Server server;
        server.Login().Silence();
        Account account = AccountFor(server, 20000);
        const auto cancel = std::make_shared<net::CancelSignal>();
        account.SetCancelSignal(cancel);
        if (beforeConnect) {
            cancel->Cancel();
        }
        const auto start = std::chrono::steady_clock::now();
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            cancel->Cancel();
        });
        Messages* list = nullptr;
        account.CheckMail(list);
        canceller.join();
        EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10))
            << "the check waited for its limit";
        EXPECT_EQ(server.Connections(), beforeConnect ? 0 : 1);
        delete list;
    }
}

} // namespace
