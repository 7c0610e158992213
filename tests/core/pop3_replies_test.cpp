// What the POP3 client makes of the replies: STAT counts, LIST sizes, TOP headers and
// summaries, RETR text, replies that arrive in pieces, and the scratch files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "pop3/pop.h"
#include "pop3/scratch_folder.h"
#include "support/scripted_pop3_server.h"

namespace {

using testsupport::ScriptedPop3Server;

// A logged-in session whose next command line is `line`, answered with `reply`.
class OneCommand : public ::testing::Test {
protected:
    void Serve(const std::string& line, const std::string& reply) {
        server.Login().Expect(line).Reply(reply);
        Begin();
    }
    void Begin() {
        server.Start();
        pop.SetTimeout(3000);
        ASSERT_TRUE(pop.Connect("127.0.0.1", server.Port(), "ann", "secret")) << pop.GetErrorText();
    }
    void TearDown() override { EXPECT_TRUE(server.Mismatches().empty()); }

    ScriptedPop3Server server;
    CPop pop;
};

bool ScratchFileExists(const char* name) {
    return std::filesystem::exists(pop3::ScratchFolder() / name);
}

TEST(Pop3Stat, CountsFollowTheFirstAndSecondSeparator) {
    struct Case {
        const char* reply;
        int count;
        int total;
    };
    const Case cases[] = {
        {"+OK 0 0\r\n", 0, 0},      {"+OK\t7\t320\r\n", 7, 320},
        {"+OK 5\r\n", 5, -1},       // total left as it was
        {"+OK  2 320\r\n", 2, 2},   // the second separator is the second blank
        {"+OK\r\n", -1, -1},        // nothing to read: both unchanged
        {"+OK x 9\r\n", 0, 9},      // no digits: 0
        {"+OK 12abc 3\r\n", 12, 3}, // digits up to the first other character
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        ScriptedPop3Server server;
        server.Login().Expect("STAT\r\n").Reply("+OK 4 44\r\n").Expect("STAT\r\n").Reply(c.reply);
        server.Start();
        CPop pop;
        ASSERT_TRUE(pop.Connect("127.0.0.1", server.Port(), "ann", "secret"));
        ASSERT_TRUE(pop.Stat());
        ASSERT_TRUE(pop.Stat());
        EXPECT_EQ(pop.GetMessageCount(), c.count < 0 ? 4 : c.count);
        EXPECT_EQ(pop.GetTotalSize(), c.total < 0 ? 44 : c.total);
    }
}

TEST_F(OneCommand, StatusLineSplitAcrossReadsIsReadWhole) {
    server.Login().Expect("STAT\r\n").ReplyInPieces({"+O", "K 3 9", "00\r", "\n"}, 40);
    Begin();
    ASSERT_TRUE(pop.Stat()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageCount(), 3);
    EXPECT_EQ(pop.GetTotalSize(), 900);
}

TEST(Pop3List, ListingLinesLineUpWithMessageNumbers) {
    // Whatever the status line holds, it never gives a size.
    for (const char* status : {"+OK 2 messages (320 octets)\r\n", "+OK\r\n", "+OK \r\n",
                               "+OK 2 320\r\n", "+OK listing follows\r\n"}) {
        SCOPED_TRACE(status);
        ScriptedPop3Server server;
        server.Login().Expect("LIST\r\n").Reply(std::string(status) + "1 120\r\n2 200\r\n.\r\n");
        server.Start();
        CPop pop;
        ASSERT_TRUE(pop.Connect("127.0.0.1", server.Port(), "ann", "secret"));
        ASSERT_TRUE(pop.List()) << pop.GetErrorText();
        EXPECT_EQ(pop.GetMessageSize(0), 0);
        EXPECT_EQ(pop.GetMessageSize(1), 120);
        EXPECT_EQ(pop.GetMessageSize(2), 200);
        EXPECT_EQ(pop.GetMessageSize(3), 0);
        EXPECT_FALSE(ScratchFileExists("templist.pop"));
    }
}

TEST_F(OneCommand, ListingWithGapsKeepsEachSizeOnItsMessage) {
    Serve("LIST\r\n", "+OK\r\n1 10\r\n3 30\r\n  4 40  \r\n.\r\n");
    ASSERT_TRUE(pop.List());
    EXPECT_EQ(pop.GetMessageSize(1), 10);
    EXPECT_EQ(pop.GetMessageSize(2), 0);
    EXPECT_EQ(pop.GetMessageSize(3), 30);
    EXPECT_EQ(pop.GetMessageSize(4), 40);
}

TEST_F(OneCommand, EmptyListing) {
    Serve("LIST\r\n", "+OK 0 messages\r\n.\r\n");
    ASSERT_TRUE(pop.List());
    EXPECT_EQ(pop.GetMessageSize(1), 0);
}

TEST_F(OneCommand, ListInThreePiecesIsReadWhole) {
    server.Login()
        .Expect("LIST\r\n")
        .ReplyInPieces({"+OK 3 messages\r\n1 11", "0\r\n2 220\r\n", "3 330\r\n.\r\n"}, 40)
        .Expect("STAT\r\n")
        .Reply("+OK 3 660\r\n");
    Begin();
    ASSERT_TRUE(pop.List()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageSize(1), 110);
    EXPECT_EQ(pop.GetMessageSize(2), 220);
    EXPECT_EQ(pop.GetMessageSize(3), 330);
    ASSERT_TRUE(pop.Stat()); // nothing of the listing was left to pass as the next reply
    EXPECT_EQ(pop.GetMessageCount(), 3);
}

TEST(Pop3List, TerminatorSplitAnywhereEndsTheReplyInTheRightPlace) {
    const std::string reply = "+OK\r\n1 120\r\n2 200\r\n.\r\n";
    // Cut the reply at each of the last five bytes: inside "\r\n.\r\n" and just before it.
    for (std::size_t cut = reply.size() - 5; cut < reply.size(); ++cut) {
        SCOPED_TRACE(cut);
        ScriptedPop3Server server;
        server.Login()
            .Expect("LIST\r\n")
            .ReplyInPieces({reply.substr(0, cut), reply.substr(cut)}, 40)
            .Expect("NOOP\r\n")
            .Reply("+OK\r\n");
        server.Start();
        CPop pop;
        pop.SetTimeout(3000);
        ASSERT_TRUE(pop.Connect("127.0.0.1", server.Port(), "ann", "secret"));
        ASSERT_TRUE(pop.List()) << pop.GetErrorText();
        EXPECT_EQ(pop.GetMessageSize(2), 200);
        EXPECT_TRUE(pop.Noop()) << pop.GetErrorText();
        EXPECT_TRUE(server.Mismatches().empty());
    }
}

TEST_F(OneCommand, ListingLineThatLooksLikeAnEndDoesNotEndTheReply) {
    // ".5 9" is not the closing line; a piece that ends in "\r\n" is not the end either.
    server.Login().Expect("LIST\r\n").ReplyInPieces({"+OK\r\n1 5\r\n", "..\r\n2 7\r\n.\r\n"}, 40);
    Begin();
    ASSERT_TRUE(pop.List()) << pop.GetErrorText();
    EXPECT_EQ(pop.GetMessageSize(1), 5);
    EXPECT_EQ(pop.GetMessageSize(2), 7);
}

TEST_F(OneCommand, ListCutOffMidReplyFailsAndLeavesNoScratchFile) {
    server.Login().Expect("LIST\r\n").Reply("+OK 2 messages\r\n1 120\r\n2 2").CloseConnection();
    Begin();
    EXPECT_FALSE(pop.List());
    EXPECT_EQ(pop.GetErrorText(), "Error reading from socket!");
    EXPECT_FALSE(ScratchFileExists("templist.pop"));
}

TEST_F(OneCommand, ListWithoutItsClosingLineRunsIntoTheTimeLimit) {
    server.Login().Expect("LIST\r\n").Reply("+OK\r\n1 120\r\n").Silence();
    server.Start();
    pop.SetTimeout(300);
    ASSERT_TRUE(pop.Connect("127.0.0.1", server.Port(), "ann", "secret"));
    EXPECT_FALSE(pop.List());
    EXPECT_EQ(pop.GetErrorText(), "Server did not answer in time");
}

TEST_F(OneCommand, ScratchFileThatCannotBeCreatedFailsButKeepsTheSessionInStep) {
    const std::filesystem::path blocker = pop3::ScratchFolder() / "templist.pop";
    ASSERT_FALSE(pop3::ScratchFolder().empty());
    std::filesystem::create_directory(blocker); // a folder where the file should go
    server.Login()
        .Expect("LIST\r\n")
        .Reply("+OK\r\n1 120\r\n.\r\n")
        .Expect("STAT\r\n")
        .Reply("+OK 1 120\r\n");
    Begin();
    EXPECT_FALSE(pop.List());
    EXPECT_EQ(pop.GetErrorText(), "Error creating temp input file!");
    std::filesystem::remove(blocker);
    EXPECT_TRUE(pop.Stat());
    EXPECT_EQ(pop.GetMessageCount(), 1);
}

TEST_F(OneCommand, TopReadsHeadersAndSummary) {
    Serve("TOP 1 8\r\n", "+OK\r\nFrom: Ann\r\nSubject: Hi\r\nTo: Bob\r\nDate: today\r\n\r\n"
                         "first line\r\nsecond line\r\n.\r\n");
    EXPECT_TRUE(pop.Top(1, 8));
    EXPECT_EQ(pop.m_From, "Ann");
    EXPECT_EQ(pop.m_Subject, "Hi");
    EXPECT_EQ(pop.m_To, "Bob");
    EXPECT_EQ(pop.m_Date, "today");
    EXPECT_EQ(pop.GetSummary(), "first line\r\nsecond line\r\n.\r\n");
    EXPECT_FALSE(ScratchFileExists("temptop.pop"));
}

TEST_F(OneCommand, TopWithoutDateIsFalseButKeepsWhatItFound) {
    Serve("TOP 2 8\r\n", "+OK\r\nFrom: Ann\r\nTo: Bob\r\n\r\nbody\r\n.\r\n");
    EXPECT_FALSE(pop.Top(2, 8));
    EXPECT_EQ(pop.m_From, "Ann");
    EXPECT_EQ(pop.m_Subject, "");
    EXPECT_EQ(pop.GetErrorText(), ""); // a missing header is no failure of the session
    EXPECT_EQ(pop.GetSummary(), "body\r\n.\r\n");
}

TEST_F(OneCommand, HeaderNamesAndCountsAreTakenLiterally) {
    Serve("TOP 1 0\r\n", "+OK 123 octets\r\n"
                         "from: lower@example.org\r\n"
                         "Reply-To: reply@example.org\r\n"
                         "Subject: first part\r\n"
                         "  of a folded subject\r\n"
                         "From:Ann\r\n"
                         "To: \r\n"
                         "Date: Mon, 1 Jan 2024\r\n"
                         "X-Other: Subject: no\r\n"
                         "\r\n"
                         ".\r\n");
    EXPECT_FALSE(pop.Top(1, 0)); // "To: " with nothing after it leaves To empty
    EXPECT_EQ(pop.m_From, "nn"); // six characters dropped: there was no blank
    EXPECT_EQ(pop.m_Subject, "first part");
    EXPECT_EQ(pop.m_To, "");
    EXPECT_EQ(pop.m_Date, "Mon, 1 Jan 2024");
    EXPECT_EQ(pop.GetSummary(), ".\r\n");
}

TEST_F(OneCommand, LaterHeaderOfTheSameKindWins) {
    Serve("TOP 1 8\r\n", "+OK\r\nSubject: old\r\nSubject:\r\nFrom: A\r\n\r\n.\r\n");
    pop.Top(1, 8);
    EXPECT_EQ(pop.m_Subject, "");
    EXPECT_EQ(pop.m_From, "A");
}

TEST_F(OneCommand, TopWithoutEmptyLineHasNoSummary) {
    Serve("TOP 1 8\r\n", "+OK\r\nFrom: Ann\r\nTo: Bob\r\nDate: today\r\n.\r\n");
    EXPECT_TRUE(pop.Top(1, 8));
    EXPECT_EQ(pop.GetSummary(), "");
}

TEST_F(OneCommand, SummaryKeepsTheBodyAsReceivedUpToItsLimit) {
    std::string body;
    for (int i = 0; body.size() < 2000; ++i) {
        body += (i % 3 == 0 ? ".." : "") + std::string("line ") + std::to_string(i) + "\r\n";
    }
    server.Login()
        .Expect("TOP 1 100\r\n")
        .ReplyInPieces({"+OK\r\nFrom: Ann\r\nTo: Bob\r\nDate: today\r\n\r\n" + body.substr(0, 700),
                        body.substr(700) + ".\r\n"},
                       40);
    Begin();
    EXPECT_TRUE(pop.Top(1, 100));
    EXPECT_EQ(pop.GetSummary(), body.substr(0, 1024)); // dot-stuffed lines kept as they came
}

TEST_F(OneCommand, RefusedTopEndsAtOnceAndForgetsThePreviousMessage) {
    server.Login()
        .Expect("TOP 1 8\r\n")
        .Reply("+OK\r\nFrom: Ann\r\nSubject: Hi\r\nTo: Bob\r\nDate: d\r\n\r\nbody\r\n.\r\n")
        .Expect("TOP 2 8\r\n")
        .Reply("-ERR no such message\r\n")
        .Expect("TOP 3 8\r\n")
        .Reply("+OK\r\nFrom: Cid\r\n\r\n.\r\n");
    Begin();
    ASSERT_TRUE(pop.Top(1, 8));
    EXPECT_FALSE(pop.Top(2, 8));
    EXPECT_EQ(pop.GetErrorText(), "Error occured during TOP");
    EXPECT_EQ(pop.m_From, "");
    EXPECT_EQ(pop.m_Subject, "");
    EXPECT_EQ(pop.GetSummary(), "");
    EXPECT_FALSE(pop.Top(3, 8)); // still in step with the server
    EXPECT_EQ(pop.m_From, "Cid");
    EXPECT_FALSE(ScratchFileExists("temptop.pop"));
}

TEST_F(OneCommand, RetrToText) {
    Serve("RETR 1\r\n", "+OK 40 octets\r\nReturn-Path: <a@b>\r\nSubject: x\r\n\r\nbody\r\n.\r\n");
    ASSERT_TRUE(pop.Retr(1)) << pop.GetErrorText();
    EXPECT_EQ(pop.GetRetrText(), "Return-Path: <a@b>\r\nSubject: x\r\n\r\nbody\r\n.\r\n");
}

TEST_F(OneCommand, RetrToFile) {
    const std::filesystem::path file = pop3::ScratchFolder() / "retr-test.eml";
    server.Login()
        .Expect("RETR 2\r\n")
        .ReplyInPieces({"+OK\r\nSubject: y\r\n\r\nline one\r\n", "line two\r\n.\r\n"}, 40);
    Begin();
    ASSERT_TRUE(pop.Retr(2, file.string())) << pop.GetErrorText();
    std::ifstream in(file, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    in.close();
    EXPECT_EQ(written, "Subject: y\r\n\r\nline one\r\nline two\r\n.\r\n");
    EXPECT_EQ(pop.GetRetrText(), ""); // the file got it
    std::filesystem::remove(file);
}

TEST_F(OneCommand, RetrToAFileThatCannotBeCreatedSendsNothing) {
    server.Login().Expect("NOOP\r\n").Reply("+OK\r\n");
    Begin();
    const std::filesystem::path file = pop3::ScratchFolder() / "no-such-folder" / "x.eml";
    EXPECT_FALSE(pop.Retr(1, file.string()));
    EXPECT_EQ(pop.GetErrorText(), "Error opening output file");
    EXPECT_TRUE(pop.Noop()); // the next command the server sees is this one
}

} // namespace
