// A POP3 session as the server sees it: login, the single-line commands, refusals,
// silence and broken connections.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "pop3/pop.h"
#include "support/scripted_pop3_server.h"

namespace {

using testsupport::Mailbox;
using testsupport::MakeMessage;
using testsupport::ScriptedPop3Server;

using Clock = std::chrono::steady_clock;

bool ConnectTo(CPop& pop, const ScriptedPop3Server& server, const std::string& user = "ann",
               const std::string& password = "secret") {
    return pop.Connect("127.0.0.1", server.Port(), user, password);
}

Mailbox TwoMessages() {
    Mailbox box;
    box.messages.push_back(MakeMessage("Ann <ann@example.org>", "Hello", {"first", "second"}));
    box.messages.push_back(MakeMessage("Bob <bob@example.org>", "Re: Hello", {"third"}));
    return box;
}

TEST(Pop3Session, CheckSessionIsExactlyTheseBytes) {
    ScriptedPop3Server server;
    server.ServeMailbox(TwoMessages());
    server.Start();
    {
        CPop pop;
        ASSERT_TRUE(ConnectTo(pop, server)) << pop.GetErrorText();
        ASSERT_TRUE(pop.Stat());
        EXPECT_EQ(pop.GetMessageCount(), 2);
        ASSERT_TRUE(pop.List());
        for (int n = 1; n <= pop.GetMessageCount(); ++n) {
            EXPECT_TRUE(pop.Top(n, 8));
        }
        EXPECT_EQ(pop.m_From, "Bob <bob@example.org>");
        EXPECT_EQ(pop.m_Subject, "Re: Hello");
        ASSERT_TRUE(pop.Quit());
    }
    ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(server.Received(), "USER ann\r\nPASS secret\r\nSTAT\r\nLIST\r\n"
                                 "TOP 1 8\r\nTOP 2 8\r\nQUIT\r\n");
}

TEST(Pop3Session, DeletionSessionIsExactlyTheseBytes) {
    ScriptedPop3Server server;
    server.ServeMailbox(TwoMessages());
    server.Start();
    {
        CPop pop;
        ASSERT_TRUE(ConnectTo(pop, server)) << pop.GetErrorText();
        ASSERT_TRUE(pop.Dele(2));
        ASSERT_TRUE(pop.Quit());
    }
    ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(server.Received(), "USER ann\r\nPASS secret\r\nDELE 2\r\nQUIT\r\n");
    EXPECT_EQ(server.Deleted(), std::vector<int>{2});
    EXPECT_EQ(server.MessagesLeft(), 1);
}

TEST(Pop3Session, UserAndPasswordGoOutUnchanged) {
    ScriptedPop3Server server;
    server.Login("Ann O'Neil %s \"x\"", " p@ss word ").Expect("QUIT\r\n").Reply("+OK\r\n");
    server.Start();
    CPop pop;
    ASSERT_TRUE(ConnectTo(pop, server, "Ann O'Neil %s \"x\"", " p@ss word ")) << pop.GetErrorText();
    EXPECT_TRUE(pop.Quit());
    EXPECT_TRUE(server.Mismatches().empty());
}

TEST(Pop3Session, ArbitraryGreetingLetsTheLoginGoOn) {
    ScriptedPop3Server server;
    server.Reply("hello there, no status here\r\n")
        .Expect("USER ann\r\n")
        .Reply("+OK\r\n")
        .Expect("PASS secret\r\n")
        .Reply("+OK\r\n");
    server.Start();
    CPop pop;
    EXPECT_TRUE(ConnectTo(pop, server)) << pop.GetErrorText();
    EXPECT_TRUE(server.Mismatches().empty());
}

struct LoginRefusal {
    const char* name;
    std::function<void(ScriptedPop3Server&)> script;
    const char* sent; // what the server has seen when the client gives up
    const char* error;
};

TEST(Pop3Session, RefusedLoginStopsAtTheRefusingStep) {
    const LoginRefusal cases[] = {
        {"greeting", [](ScriptedPop3Server& s) { s.Reply("-ERR too busy\r\n"); }, "",
         "Bad Connection"},
        {"user",
         [](ScriptedPop3Server& s) {
             s.Reply("+OK\r\n").Expect("USER ann\r\n").Reply("-ERR who?\r\n");
         },
         "USER ann\r\n", "Bad User Name"},
        {"user, lower case",
         [](ScriptedPop3Server& s) {
             s.Reply("+OK\r\n").Expect("USER ann\r\n").Reply("-err who?\r\n");
         },
         "USER ann\r\n", "Bad User Name"},
        {"password",
         [](ScriptedPop3Server& s) {
             s.Reply("+OK\r\n")
                 .Expect("USER ann\r\n")
                 .Reply("+OK\r\n")
                 .Expect("PASS secret\r\n")
                 .Reply("-ERR [AUTH] Authentication failed.\r\n");
         },
         "USER ann\r\nPASS secret\r\n", "Bad Password Name"},
    };
    for (const LoginRefusal& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPop3Server server;
        c.script(server);
        server.Start();
        CPop pop;
        EXPECT_FALSE(ConnectTo(pop, server));
        EXPECT_EQ(pop.GetErrorText(), c.error);
        // Give a stray extra command the chance to arrive before looking.
        server.Stop();
        EXPECT_EQ(server.Received(), c.sent);
    }
}

struct CommandRefusal {
    const char* line;
    std::function<bool(CPop&)> run;
    const char* error;
};

TEST(Pop3Session, RefusedCommandFailsWithItsText) {
    const CommandRefusal cases[] = {
        {"STAT\r\n", [](CPop& p) { return p.Stat(); }, "Error occured during STAT"},
        {"LIST\r\n", [](CPop& p) { return p.List(); }, "Error occured during LIST"},
        {"TOP 1 8\r\n", [](CPop& p) { return p.Top(1, 8); }, "Error occured during TOP"},
        {"RETR 1\r\n", [](CPop& p) { return p.Retr(1); }, "Error occured during RETR"},
        {"DELE 3\r\n", [](CPop& p) { return p.Dele(3); }, "Error occured during DELE"},
        {"NOOP\r\n", [](CPop& p) { return p.Noop(); }, "Error occured during NOOP"},
        {"RSET\r\n", [](CPop& p) { return p.Rset(); }, "Error occured during RSET"},
        {"QUIT\r\n", [](CPop& p) { return p.Quit(); }, "Error occured during QUIT"},
    };
    for (const CommandRefusal& c : cases) {
        SCOPED_TRACE(c.line);
        ScriptedPop3Server server;
        // The refusal is single-line even for the multi-line commands: nothing more is
        // awaited, and the session goes on in step.
        server.Login().Expect(c.line).Reply("-ERR no\r\n").Expect("NOOP\r\n").Reply("+OK\r\n");
        server.Start();
        CPop pop;
        pop.SetTimeout(3000);
        ASSERT_TRUE(ConnectTo(pop, server)) << pop.GetErrorText();
        EXPECT_FALSE(c.run(pop));
        EXPECT_EQ(pop.GetErrorText(), c.error);
        EXPECT_TRUE(pop.Noop()) << pop.GetErrorText(); // after a failed QUIT too: still open
        EXPECT_TRUE(server.Mismatches().empty());
    }
}

TEST(Pop3Session, LaterSuccessKeepsTheLastFailureText) {
    ScriptedPop3Server server;
    server.Login()
        .Expect("STAT\r\n")
        .Reply("-ERR locked\r\n")
        .Expect("STAT\r\n")
        .Reply("+OK 1 10\r\n");
    server.Start();
    CPop pop;
    ASSERT_TRUE(ConnectTo(pop, server));
    EXPECT_FALSE(pop.Stat());
    EXPECT_TRUE(pop.Stat());
    EXPECT_EQ(pop.GetMessageCount(), 1);
    EXPECT_EQ(pop.GetErrorText(), "Error occured during STAT");
}

TEST(Pop3Session, SilentServerRunsIntoTheTimeLimit) {
    ScriptedPop3Server server;
    server.Login().Expect("STAT\r\n").Silence();
    server.Start();
    CPop pop;
    pop.SetTimeout(300);
    ASSERT_TRUE(ConnectTo(pop, server)) << pop.GetErrorText();
    const auto start = Clock::now();
    EXPECT_FALSE(pop.Stat());
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(pop.GetErrorText(), "Server did not answer in time");
    EXPECT_GE(elapsed, std::chrono::milliseconds(250));
    EXPECT_LT(elapsed, std::chrono::seconds(3));
}

TEST(Pop3Session, SilentGreetingRunsIntoTheTimeLimit) {
    ScriptedPop3Server server;
    server.Silence();
    server.Start();
    CPop pop;
    pop.SetTimeout(200);
    EXPECT_FALSE(ConnectTo(pop, server));
    EXPECT_EQ(pop.GetErrorText(), "Server did not answer in time");
}

TEST(Pop3Session, ConnectionClosedWhileAReplyIsAwaitedIsAFailure) {
    // Single-line: an empty read is not a success just because it holds no "-ERR".
    {
        ScriptedPop3Server server;
        server.Login().Expect("STAT\r\n").Reply("+OK 2").CloseConnection();
        server.Start();
        CPop pop;
        ASSERT_TRUE(ConnectTo(pop, server));
        EXPECT_FALSE(pop.Stat());
        EXPECT_EQ(pop.GetErrorText(), "Error reading from socket!");
    }
    {
        ScriptedPop3Server server;
        server.Reply("+OK\r\n").Expect("USER ann\r\n").CloseConnection();
        server.Start();
        CPop pop;
        EXPECT_FALSE(ConnectTo(pop, server));
        EXPECT_EQ(pop.GetErrorText(), "Error reading from socket!");
    }
}

TEST(Pop3Session, UnreachableServerCannotBeConnected) {
    unsigned short port = 0;
    {
        ScriptedPop3Server probe; // bound, then closed: nobody listens there any more
        port = probe.Port();
    }
    CPop pop;
    pop.SetTimeout(2000);
    EXPECT_FALSE(pop.Connect("127.0.0.1", port, "ann", "secret"));
    EXPECT_EQ(pop.GetErrorText(), "Server cannot be connected");
    EXPECT_FALSE(pop.Connect("127.0.0.1", 70000, "ann", "secret"));
    EXPECT_EQ(pop.GetErrorText(), "Server cannot be connected");
}

TEST(Pop3Session, LineBreakOrNulInCredentialsIsRefusedBeforeConnecting) {
    const std::string injected[] = {"ann\r\nDELE 1", "ann\nDELE 1", "ann\rx",
                                    std::string("ann\0x", 5)};
    for (const std::string& bad : injected) {
        for (bool inPassword : {false, true}) {
            ScriptedPop3Server server;
            server.Login();
            server.Start();
            CPop pop;
            const bool connected = inPassword ? ConnectTo(pop, server, "ann", bad)
                                              : ConnectTo(pop, server, bad, "secret");
            EXPECT_FALSE(connected);
            EXPECT_EQ(pop.GetErrorText(), "Bad character in user name or password");
            server.Stop();
            EXPECT_EQ(server.Connections(), 0);
            EXPECT_EQ(server.Received(), "");
        }
    }
}

TEST(Pop3Session, CredentialsMustFitTheCommandLine) {
    // "USER " + name + CR LF may hold 511 characters at most.
    const std::string longest(504, 'u');
    {
        ScriptedPop3Server server;
        server.Login(longest, "secret");
        server.Start();
        CPop pop;
        EXPECT_TRUE(ConnectTo(pop, server, longest, "secret")) << pop.GetErrorText();
    }
    for (const std::size_t length : {505u, 600u}) {
        ScriptedPop3Server server;
        server.Login();
        server.Start();
        CPop pop;
        EXPECT_FALSE(ConnectTo(pop, server, std::string(length, 'u'), "secret"));
        EXPECT_EQ(pop.GetErrorText(), "Command too long");
        EXPECT_FALSE(ConnectTo(pop, server, "ann", std::string(length, 'p')));
        EXPECT_EQ(pop.GetErrorText(), "Command too long");
        server.Stop();
        EXPECT_EQ(server.Received(), "");
    }
}

TEST(Pop3Session, StoredSettingsConnect) {
    ScriptedPop3Server server;
    server.Login("bob", "pw");
    server.Start();
    CPop pop;
    pop.SetHost("127.0.0.1");
    pop.SetPort(server.Port());
    pop.SetUser("bob");
    pop.SetPass("pw");
    EXPECT_TRUE(pop.Connect()) << pop.GetErrorText();
    EXPECT_TRUE(server.Mismatches().empty());
}

TEST(Pop3Session, CommandsAfterQuitFailWithoutHanging) {
    ScriptedPop3Server server;
    server.Login().Expect("QUIT\r\n").Reply("+OK bye\r\n");
    server.Start();
    CPop pop;
    ASSERT_TRUE(ConnectTo(pop, server));
    ASSERT_TRUE(pop.Quit());
    EXPECT_FALSE(pop.Stat());
    EXPECT_EQ(pop.GetErrorText(), "Error writing to socket!");
}

} // namespace
