#include <gtest/gtest.h>

#include "cli/report.h"
#include "pop3/messages.h"
#include "settings/account.h"

namespace {

Account Checked(int status, int count, const std::string& error = std::string()) {
    Account account;
    account.m_Status = status;
    account.m_MessageCount = count;
    account.m_LastError = error;
    return account;
}

TEST(CliReport, BuiltListGivesOneEntryPerMessageInServerOrder) {
    Messages list(2);
    list.Add("Ann <ann@example.com>", "Hello", 1, "line one\r\n.\r\n");
    list.Add("Bob", "Re: Hello", 12, "");
    const cli::Report report = cli::MakeReport(Checked(Account::ListRebuilt, 2), &list);
    ASSERT_FALSE(report.failed);
    ASSERT_TRUE(report.hasList);
    ASSERT_EQ(report.entries.size(), 2u);
    EXPECT_EQ(report.entries[0].from, "Ann <ann@example.com>");
    EXPECT_EQ(report.entries[1].subject, "Re: Hello");
    EXPECT_EQ(report.entries[1].sizeKb, "12");
    EXPECT_EQ(cli::ExitStatus(report), 0);

    EXPECT_EQ(cli::FormatText(report), "2 messages waiting.\n"
                                       "1\t1 KB\tAnn <ann@example.com>\tHello\n"
                                       "2\t12 KB\tBob\tRe: Hello\n");
    EXPECT_EQ(cli::FormatJson(report),
              "{\"status\":\"mail\",\"count\":2,\"messages\":["
              "{\"number\":1,\"from\":\"Ann <ann@example.com>\",\"subject\":\"Hello\","
              "\"size_kb\":1,\"summary\":\"line one\\r\\n.\\r\\n\"},"
              "{\"number\":2,\"from\":\"Bob\",\"subject\":\"Re: Hello\",\"size_kb\":12,"
              "\"summary\":\"\"}]}\n");
}

TEST(CliReport, AListLeftFromAnEarlierCheckIsNotReported) {
    Messages stale(1);
    stale.Add("Old", "Old", 1, "");
    const cli::Report report = cli::MakeReport(Checked(Account::CountOnly, 4), &stale);
    EXPECT_FALSE(report.hasList);
    EXPECT_TRUE(report.entries.empty());
    EXPECT_EQ(cli::ExitStatus(report), 0);
    EXPECT_EQ(cli::FormatText(report), "4 messages waiting.\n");
    EXPECT_EQ(cli::FormatJson(report), "{\"status\":\"mail\",\"count\":4}\n");
}

TEST(CliReport, EmptyMailbox) {
    const cli::Report report = cli::MakeReport(Checked(Account::MailboxEmpty, 0), nullptr);
    EXPECT_EQ(cli::ExitStatus(report), 1);
    EXPECT_EQ(cli::FormatText(report), "No messages waiting.\n");
    EXPECT_EQ(cli::FormatJson(report), "{\"status\":\"empty\",\"count\":0}\n");
}

TEST(CliReport, OneMessageIsSingular) {
    Messages list(1);
    list.Add("A", "S", 0, "");
    const cli::Report report = cli::MakeReport(Checked(Account::ListRebuilt, 1), &list);
    EXPECT_EQ(cli::FormatText(report), "1 message waiting.\n1\t0 KB\tA\tS\n");
}

TEST(CliReport, FailureGoesNowhereInTextAndCarriesItsTextInJson) {
    const cli::Report report =
        cli::MakeReport(Checked(Account::CheckFailed, 3, "Bad Password Name"), nullptr);
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(report.error, "Bad Password Name");
    EXPECT_EQ(cli::ExitStatus(report), 2);
    EXPECT_EQ(cli::FormatText(report), "");
    EXPECT_EQ(cli::FormatJson(report), "{\"status\":\"failed\",\"error\":\"Bad Password Name\"}\n");
}

TEST(CliReport, HeaderTextCannotBreakTheOneLinePerMessageRule) {
    Messages list(1);
    list.Add("Ann\tB", "two\r\nlines", 3, "");
    const cli::Report report = cli::MakeReport(Checked(Account::ListRebuilt, 1), &list);
    EXPECT_EQ(cli::FormatText(report), "1 message waiting.\n1\t3 KB\tAnn B\ttwo  lines\n");
}

TEST(CliReport, JsonStringEscapesEveryByteThatNeedsIt) {
    EXPECT_EQ(cli::JsonString(""), "\"\"");
    EXPECT_EQ(cli::JsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
    EXPECT_EQ(cli::JsonString("\r\n\t"), "\"\\r\\n\\t\"");
    EXPECT_EQ(cli::JsonString(std::string("x\0y", 3)), "\"x\\u0000y\"");
    EXPECT_EQ(cli::JsonString("\x01\x1f\x7f"), "\"\\u0001\\u001f\\u007f\"");
}

TEST(CliReport, JsonStringReadsHighBytesAsLatin1) {
    // e-acute, the lowest and the highest 8-bit byte.
    EXPECT_EQ(cli::JsonString("caf\xe9"), "\"caf\xc3\xa9\"");
    EXPECT_EQ(cli::JsonString("\x80\xff"), "\"\xc2\x80\xc3\xbf\"");
    EXPECT_EQ(cli::JsonString("\xa0"), "\"\xc2\xa0\"");
}

} // namespace
