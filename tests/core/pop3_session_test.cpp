// A POP3 session as the server sees it: credentials, refusals, broken connections, and
// what the client makes of the replies, whatever pieces they arrive in.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "pop3/pop.h"
#include "pop3/scratch_folder.h"
#include "support/scripted_pop3_server.h"

using namespace std::string_literals;

namespace {

using testsupport::ScriptedPop3Server;

// Starts a server that has been given the login and the rest of the session.
void StartAndConnect(ScriptedPop3Server& server, CPop& pop) {
    server.Start();
    pop.SetTimeout(1000);
    ASSERT_TRUE(pop.Connect("127.0.0.1", server.Port(), "ann", "secret")) << pop.GetErrorText();
}

TEST(Pop3Session, CredentialsGoOutAsGivenOrNotAtAll) {
    // A line break or NUL could end the command early and smuggle in another; a command
    // longer than 511 characters with its CR LF must not be cut.
    const char* const kBad = "Bad character in user name or password";
    const std::string longest(504, 'u'), tooLong(505, 'u');
    const std::pair<std::string, const char*> cases[] = {
        {"O'Neil %s \"x\" ", ""},     {longest, ""},  {"a\r\nDELE 1", kBad},
        {"a\nDELE 1", kBad},          {"a\rx", kBad}, {"a\0x"s, kBad},
        {tooLong, "Command too long"}};
    for (const auto& [text, error] : cases) {
        for (bool inPassword : {false, true}) {
            const std::string user = inPassword ? "ann" : text;
            const std::string password = inPassword ? text : "secret";
            ScriptedPop3Server server;
            server.Login(user, password);
            server.Start();
            CPop pop;
            EXPECT_EQ(pop.Connect("127.0.0.1", server.Port(), user, password), *error == '\0')
                << text;
            EXPECT_EQ(pop.GetErrorText(), error);
            server.Stop();
            EXPECT_EQ(server.Connections(), *error == '\0' ? 1 : 0);
            EXPECT_TRUE(server.Mismatches().empty());
        }
    }
}

TEST(Pop3Session, RefusedCommandFailsWithItsTextAndTheSessionGoesOn) {
    const struct {
        const char* line;
        std::function<bool(CPop&)> run;
        const char* error;
    } cases[] = {
        {"STAT\r\n", [](CPop& p) { return p.Stat(); }, "Error occured during STAT"},
        {"LIST\r\n", [](CPop& p) { return p.List(); }, "Error occured during LIST"},
        {"TOP 1 8\r\n", [](CPop& p) { return p.Top(1, 8); }, "Error occured during TOP"},
        {"DELE 3\r\n", [](CPop& p) { return p.Dele(3); }, "Error occured during DELE"},
        {"QUIT\r\n", [](CPop& p) { return p.Quit(); }, "Error occured during QUIT"},
    };
    ScriptedPop3Server server;
    server.Login();
    for (const auto& c : cases) { // the refusal is one line even for the multi-line commands
        server.Expect(c.line).Reply("-ERR no\r\n");
    }
    server.Exchanges({"STAT\r\n", "+OK 0 0\r\n", "QUIT\r\n", "+OK bye\r\n"});
    CPop pop;
    StartAndConnect(server, pop);
    for (const auto& c : cases) {
        EXPECT_FALSE(c.run(pop)) << c.line;
        EXPECT_EQ(pop.GetErrorText(), c.error);
    }
    EXPECT_TRUE(pop.Stat()) << pop.GetErrorText(); // still open after a refused QUIT
    EXPECT_EQ(pop.GetErrorText(), "Error occured during QUIT") << "a success keeps the text";
    // QUIT answered by a server that then closes is a clean end, without waiting for the close.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(pop.Quit()) << pop.GetErrorText();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_FALSE(pop.Stat());
    EXPECT_EQ(pop.GetErrorText(), "Error writing to socket!");
    EXPECT_TRUE(server.Mismatches().empty());
}

TEST(Pop3Session, StatGivesTheCountAndTheSizeAfterBlanksOrTabs) {
    // Each reply follows a "+OK 4 44": a size it does not give stays. Sizes are 64-bit.
    const std::pair<const char*, const char*> cases[] = {
        {"+OK 0 0\r\n", "0 0"},
        {"+OK\t7\t320\r\n", "7 320"},
        {"+OK 5\r\n", "5 44"},
        {"+OK  2  320 octets\r\n", "2 320"},
        {"+OK 1 5000000000\r\n", "1 5000000000"},
    };
    ScriptedPop3Server server;
    server.Login();
    for (const auto& [reply, counts] : cases) {
        server.Expect("STAT\r\n").Reply("+OK 4 44\r\n").Expect("STAT\r\n");
        server.ReplyInPieces({"+O", reply + 2}, 30); // no part of a line is judged alone
    }
    CPop pop;
    StartAndConnect(server, pop);
    for (const auto& [reply, counts] : cases) {
        ASSERT_TRUE(pop.Stat() && pop.Stat());
        EXPECT_EQ(std::to_string(pop.GetMessageCount()) + " " + std::to_string(pop.GetTotalSize()),
                  counts)
            << reply;
    }
}

TEST(Pop3Session, ListingSplitAnywhereIsReadWholeAndNoFurther) {
    // The status line gives no size, "n size" gives message n its size, ".." ends nothing.
    const std::pair<std::string, std::vector<std::int64_t>> cases[] = {
        {"+OK 2 320\r\n1 5\r\n..\r\n  4 40  \r\n.\r\n", {5, 0, 0, 40}},
        {"+OK\r\n.\r\n", {0, 0, 0, 0}},
    };
    for (const auto& [reply, sizes] : cases) {
        for (std::size_t cut = 1; cut < reply.size(); ++cut) {
            SCOPED_TRACE(reply.substr(0, cut));
            ScriptedPop3Server server;
            server.Login().Expect("LIST\r\n");
            server.ReplyInPieces({reply.substr(0, cut), reply.substr(cut)}, 30);
            server.Expect("STAT\r\n").Reply("+OK 4 44\r\n");
            CPop pop;
            StartAndConnect(server, pop);
            ASSERT_TRUE(pop.List()) << pop.GetErrorText();
            EXPECT_EQ((std::vector<std::int64_t>{pop.GetMessageSize(1), pop.GetMessageSize(2),
                                                 pop.GetMessageSize(3), pop.GetMessageSize(4)}),
                      sizes);
            ASSERT_TRUE(pop.Stat()) << pop.GetErrorText(); // nothing of the reply was left
            EXPECT_EQ(pop.GetMessageCount(), 4);
        }
    }
}

TEST(Pop3Session, ScratchFileThatCannotBeCreatedFailsButKeepsTheSessionInStep) {
    const std::filesystem::path blocker = pop3::ScratchFolder() / "temptop.pop";
    ASSERT_TRUE(std::filesystem::create_directory(blocker)); // a folder where the file goes
    ScriptedPop3Server server;
    server.Login().Expect("TOP 1 8\r\n").Reply("+OK\r\nFrom: a\r\n\r\nb\r\n.\r\n");
    server.Expect("STAT\r\n").Reply("+OK 1 120\r\n");
    CPop pop;
    StartAndConnect(server, pop);
    EXPECT_FALSE(pop.Top(1, 8));
    EXPECT_EQ(pop.GetErrorText(), "Error creating temp input file!");
    std::filesystem::remove(blocker);
    EXPECT_TRUE(pop.Stat());
    EXPECT_EQ(pop.GetMessageCount(), 1);
}

TEST(Pop3Session, TopReadsHeadersInAnyCaseAndTheBodyUnstuffed) {
    std::string body; // longer than the summary, with dot-stuffed lines
    std::string message;
    for (int i = 0; body.size() < 2000; ++i) {
        body += (i % 3 == 0 ? ".." : "") + std::string("line ") + std::to_string(i) + "\r\n";
        message += (i % 3 == 0 ? "." : "") + std::string("line ") + std::to_string(i) + "\r\n";
    }
    // The result, From, Subject, To, Date, the summary and the failure text.
    const std::pair<std::string, std::string> cases[] = {
        {"+OK\r\nFrom: Ann\r\nSubject: Hi\r\nTo: Bob\r\nDate: today\r\n\r\n" + body + ".\r\n",
         "1|Ann|Hi|Bob|today|" + message.substr(0, 1024) + "|"},
        // Names in any case; the value after the colon and its blanks; a folded line
        // joined; the later header of a kind wins.
        {"+OK 123 octets\r\nfrom: lower@example.org\r\nSubject: first part\r\n  folded\r\n"
         "FROM:Ann\r\nDate: early\r\nTo: \r\nDate: Mon\r\nX-Other: Subject: no\r\n\r\n.\r\n",
         "0|Ann|first part  folded||Mon||"},
        {"+OK\r\nSubject: old\r\nSubject:\r\nFrom: A\r\nTo: B\r\nDate: d\r\n.\r\n", "1|A||B|d||"},
        // A refused TOP forgets the previous message and leaves the session in step.
        {"-ERR no such message\r\n", "0||||||Error occured during TOP"},
        {"+OK\r\nFrom: Cy\r\n\r\nbody\r\n.\r\n", "0|Cy||||body\r\n|Error occured during TOP"},
    };
    ScriptedPop3Server server;
    server.Login();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        server.Expect("TOP " + std::to_string(i + 1) + " 8\r\n");
        const std::string& reply = cases[i].first;
        server.ReplyInPieces({reply.substr(0, reply.size() / 2), reply.substr(reply.size() / 2)},
                             30);
    }
    CPop pop;
    StartAndConnect(server, pop);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const bool found = pop.Top(static_cast<int>(i) + 1, 8);
        EXPECT_EQ(std::to_string(found) + "|" + pop.m_From + "|" + pop.m_Subject + "|" + pop.m_To +
                      "|" + pop.m_Date + "|" + pop.GetSummary() + "|" + pop.GetErrorText(),
                  cases[i].second);
        EXPECT_FALSE(std::filesystem::exists(pop3::ScratchFolder() / "temptop.pop"));
    }
}

TEST(Pop3Session, RepliesCutOffOrBeyondWhatTheCommandCanGiveBreakTheSessionForGood) {
    const std::string hugeTop = "+OK\r\n" + std::string(2500, 'x') + "\r\n";
    std::string endlessTop = "+OK\r\nFrom: a\r\n\r\n";
    while (endlessTop.size() < 2'500'000) {
        endlessTop += hugeTop.substr(5);
    }
    const struct {
        std::string name;
        std::string command;
        std::string reply;
        std::function<bool(CPop&)> run;
        const char* error;
        bool outOfStep;
        bool hangUp = false; // after the reply; else silence
    } cases[] = {
        {"LIST cut off", "LIST\r\n", "+OK 2 messages\r\n1 120\r\n2 2",
         [](CPop& p) { return p.List(); }, "Error reading from socket!", false, true},
        {"LIST never finished", "LIST\r\n", "+OK 2 messages\r\n1 120\r\n2 2",
         [](CPop& p) { return p.List(); }, "Server did not answer in time", false},
        // After a claimed count of 20 million, one listing line without its end: cut at
        // 64 KiB, long before memory could follow the claim.
        {"endless LIST line", "LIST\r\n", "+OK\r\n1 " + std::string(70000, '9'),
         [](CPop& p) { return p.List(); }, "Reply line too long", false},
        {"TOP beyond its cap", "TOP 1 8\r\n", endlessTop, [](CPop& p) { return p.Top(1, 8); },
         "The server sent more than expected", true},
        {"unique id of 71 characters", "UIDL\r\n", "+OK\r\n1 " + std::string(71, 'u') + "\r\n.\r\n",
         [](CPop& p) { return p.Uidl(); }, "The server's reply was not understood", true},
        {"unique id with a control", "UIDL 1\r\n", "+OK 1 a\x01z\r\n",
         [](CPop& p) { return p.Uidl(1); }, "The server's reply was not understood", true},
        {"UIDL that leaves a counted message out", "UIDL\r\n", "+OK\r\n1 a\r\n3 c\r\n.\r\n",
         [](CPop& p) { return p.Uidl(); }, "The server's reply was not understood", true},
        {"a line after QUIT's answer", "QUIT\r\n", "+OK bye\r\n+OK\r\n",
         [](CPop& p) { return p.Quit(); }, "The server's reply was not understood", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPop3Server server;
        server.Login().Expect("STAT\r\n").Reply("+OK 20000000 1\r\n");
        server.Expect(c.command).Reply(c.reply);
        c.hangUp ? server.CloseConnection() : server.Silence();
        CPop pop;
        StartAndConnect(server, pop);
        pop.SetTimeout(300);
        ASSERT_TRUE(pop.Stat());
        EXPECT_FALSE(c.run(pop));
        EXPECT_EQ(pop.GetErrorText(), c.error);
        EXPECT_TRUE(pop.IsBroken());
        EXPECT_EQ(pop.IsOutOfStep(), c.outOfStep);
        // The rest of the reply could be taken for the next one: nothing more is sent.
        EXPECT_FALSE(pop.Stat());
        EXPECT_FALSE(pop.Quit());
        EXPECT_EQ(pop.GetErrorText(), c.error);
        server.Stop();
        EXPECT_EQ(server.Received(), "CAPA\r\nUSER ann\r\nPASS secret\r\nSTAT\r\n" + c.command);
    }
}

} // namespace
