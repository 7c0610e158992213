#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "dovecot_fixture.h"
#include "pop3/pop.h"

namespace {

class DovecotPop : public DovecotTest {
protected:
    void LogIn(CPop& pop, const std::string& password = "secret") {
        pop.SetTimeout(10000);
        ASSERT_TRUE(pop.Connect("127.0.0.1", Server().Port(), "test", password))
            << pop.GetErrorText();
    }
};

TEST_F(DovecotPop, StatAndListMatchTheMailbox) {
    const auto seeded = Seed(4, {500, 1024, 1025, 4097});
    CPop pop;
    LogIn(pop);
    ASSERT_TRUE(pop.Stat()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageCount(), 4);
    int total = 0;
    for (const SeededMessage& m : seeded) {
        total += m.Octets();
    }
    EXPECT_EQ(pop.GetTotalSize(), total);

    ASSERT_TRUE(pop.List()) << pop.GetErrorText();
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(pop.GetMessageSize(n), seeded[static_cast<std::size_t>(n - 1)].Octets())
            << "message " << n;
    }
    EXPECT_EQ(pop.GetMessageSize(5), 0);
    EXPECT_TRUE(pop.Quit()) << pop.GetErrorText();
}

TEST_F(DovecotPop, TopGivesHeadersAndTheFirstBodyLines) {
    const auto seeded = Seed(3);
    CPop pop;
    LogIn(pop);
    ASSERT_TRUE(pop.Top(2, 2)) << pop.GetErrorText();
    EXPECT_EQ(pop.m_From, "Sender 2 <sender2@example.com>");
    EXPECT_EQ(pop.m_Subject, "Message 2");
    EXPECT_EQ(pop.m_To, "Test User <test@example.com>");
    EXPECT_EQ(pop.m_Date, seeded[1].Header("Date"));
    EXPECT_EQ(pop.GetSummary(), "Body line 1 of message 2\r\nBody line 2 of message 2\r\n.\r\n");

    // No body lines asked for: the summary is the closing line alone.
    ASSERT_TRUE(pop.Top(3, 0)) << pop.GetErrorText();
    EXPECT_EQ(pop.m_Subject, "Message 3");
    EXPECT_EQ(pop.GetSummary(), ".\r\n");

    // More lines than the body has: the whole body.
    ASSERT_TRUE(pop.Top(1, 50)) << pop.GetErrorText();
    EXPECT_EQ(pop.GetSummary(), seeded[0].TopBody(50));
    EXPECT_TRUE(pop.Quit()) << pop.GetErrorText();
}

TEST_F(DovecotPop, RefusedTopEndsAtOnceAndTheSessionGoesOn) {
    Seed(2);
    CPop pop;
    LogIn(pop);
    // A refusal is a single line; waiting for a closing "." would run into the time limit.
    pop.SetTimeout(3000);
    EXPECT_FALSE(pop.Top(7, 1));
    ASSERT_TRUE(pop.Stat()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageCount(), 2);
    ASSERT_TRUE(pop.Top(1, 1)) << pop.GetErrorText();
    EXPECT_EQ(pop.m_Subject, "Message 1");
    EXPECT_TRUE(pop.Quit()) << pop.GetErrorText();
}

TEST_F(DovecotPop, RepliesAreReadWholeOneAfterTheOther) {
    // A long RETR and a LIST of many lines must not leave bytes behind for the next reply.
    Seed(60, {60000});
    CPop pop;
    LogIn(pop);
    ASSERT_TRUE(pop.Retr(1)) << pop.GetErrorText();
    ASSERT_TRUE(pop.Noop()) << pop.GetErrorText();
    ASSERT_TRUE(pop.List()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageSize(1), 60000);
    ASSERT_TRUE(pop.Stat()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageCount(), 60);
    for (int n = 1; n <= 60; ++n) {
        ASSERT_TRUE(pop.Top(n, 3)) << pop.GetErrorText();
        ASSERT_EQ(pop.m_Subject, "Message " + std::to_string(n));
    }
    EXPECT_TRUE(pop.Quit()) << pop.GetErrorText();
}

TEST_F(DovecotPop, RetrToAFileHoldsTheMessage) {
    const auto seeded = Seed(1, {2500});
    char name[] = "/tmp/tarnwick-retr-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    CPop pop;
    LogIn(pop);
    ASSERT_TRUE(pop.Retr(1, name)) << pop.GetErrorText();
    ASSERT_TRUE(pop.Quit()) << pop.GetErrorText();
    std::ifstream file(name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::remove(name);
    // Whatever the file holds around it, the message itself is in it, in one piece.
    const std::string headerAndBody = seeded[0].text.substr(seeded[0].text.find("To: "));
    EXPECT_NE(text.str().find(headerAndBody.substr(0, 200)), std::string::npos);
    EXPECT_NE(text.str().find(headerAndBody.substr(headerAndBody.size() - 200)), std::string::npos);
}

TEST_F(DovecotPop, DeleThenRsetKeepsTheMessage) {
    Seed(2);
    {
        CPop pop;
        LogIn(pop);
        ASSERT_TRUE(pop.Dele(1)) << pop.GetErrorText();
        EXPECT_FALSE(pop.Dele(1)); // already marked
        EXPECT_EQ(pop.GetErrorText(), "Error occured during DELE");
        ASSERT_TRUE(pop.Rset()) << pop.GetErrorText();
        ASSERT_TRUE(pop.Quit()) << pop.GetErrorText();
    }
    CPop pop;
    LogIn(pop);
    ASSERT_TRUE(pop.Stat()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageCount(), 2);
}

TEST_F(DovecotPop, WrongPasswordStopsTheLogin) {
    Seed(1);
    CPop pop;
    pop.SetTimeout(10000);
    EXPECT_FALSE(pop.Connect("127.0.0.1", Server().Port(), "test", "wrong"));
    EXPECT_EQ(pop.GetErrorText(), "Bad Password Name");
}

} // namespace
