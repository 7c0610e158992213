// tarnwick-check: its options, and the report it prints of a check.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/options.h"
#include "cli/report.h"
#include "pop3/messages.h"
#include "settings/account.h"

namespace {

// What the arguments mean, in a few words, or the error.
std::string Parse(const std::vector<std::string>& args) {
    cli::Options o;
    o.json = true; // parsing starts from scratch
    std::string error;
    if (!cli::ParseArguments(args, o, error)) {
        return "error: " + error;
    }
    const char* modes[] = {"check", "setup", "help", "trust"};
    return modes[static_cast<int>(o.mode)] + std::string(o.json ? " json" : "") +
           (o.profile.empty() ? "" : " profile=" + o.profile) +
           (o.hasServer ? " server=" + o.server : "") + (o.hasUser ? " user=" + o.user : "") +
           (o.passwordStdin ? " stdin" : "") + (o.hasSecurity ? " security=" + o.security : "") +
           (o.hasLogin ? " login=" + o.login : "") +
           (o.trustCertificate.empty() ? "" : " trust=" + o.trustCertificate.substr(0, 5));
}

TEST(CliOptions, ValidCombinationsInBothSpellingsAndNothingElse) {
    EXPECT_EQ(Parse({}), "check");
    EXPECT_EQ(Parse({"--profile", "/tmp/a b.ini", "--json"}), "check json profile=/tmp/a b.ini");
    EXPECT_EQ(Parse({"--setup", "--profile=x.ini", "--server=127.0.0.1:1110", "--user", "",
                     "--password-stdin"}),
              "setup profile=x.ini server=127.0.0.1:1110 user= stdin");
    EXPECT_EQ(Parse({"--setup"}), "setup"); // the rest is asked for
    EXPECT_EQ(Parse({"--json", "-h"}), "help json");
    const std::string pin = "ab:cd:ef:01:23:45:67:89:ab:cd:ef:01:23:45:67:89:"
                            "ab:cd:ef:01:23:45:67:89:ab:cd:ef:01:23:45:67:89";
    EXPECT_EQ(Parse({"--setup", "--security", "starttls", "--login=normal",
                     "--trust-certificate=" + pin}),
              "setup security=starttls login=normal trust=AB:CD");
    EXPECT_EQ(Parse({"--setup", "--security=tls", "--login", "encrypted"}),
              "setup security=tls login=encrypted");
    // Fingerprints as users paste them: any case, with or without separators between pairs.
    std::string bare = pin, blanks = pin;
    bare.erase(std::remove(bare.begin(), bare.end(), ':'), bare.end());
    std::replace(blanks.begin(), blanks.end(), ':', ' ');
    EXPECT_EQ(Parse({"--trust-certificate", bare, "--profile", "p.ini"}),
              "trust profile=p.ini trust=AB:CD");
    EXPECT_EQ(Parse({"--trust-certificate", blanks}), "trust trust=AB:CD");
    // clang-format off
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"}, {"check"}, {"-"}, {"--profile"}, {"--profile="}, {"--setup", "--server"},
        {"--server", "host"}, {"--user", "me"}, {"--password-stdin"}, {"--setup", "--json"},
        {"--jsonx"}, {"--security", "tls"}, {"--setup", "--security", "ssl"},
        {"--login", "normal"}, {"--setup", "--login", "apop"}, {"--setup", "--login"},
        {"--trust-certificate", pin.substr(3)}, {"--trust-certificate", pin + ":"},
        {"--trust-certificate", "a:b" + pin.substr(2)}, {"--trust-certificate", bare + "0"},
        {"--json", "--trust-certificate", pin},
    };
    // clang-format on
    for (const auto& args : bad) {
        const std::string error = Parse(args);
        EXPECT_TRUE(error.rfind("error: ", 0) == 0 && error.size() > 8) << args[0];
    }
    // Refused without repeating the password anywhere.
    for (const char* password : {"--password", "--password=hunter2"}) {
        const std::string error = Parse({"--setup", password, "hunter2"});
        EXPECT_NE(error.find("--password-stdin"), std::string::npos) << error;
        EXPECT_EQ(error.find("hunter2"), std::string::npos) << error;
    }
}

cli::Report ReportOf(int status, int count, const Messages* list, const char* error = "") {
    Account account;
    account.m_Status = status;
    account.m_MessageCount = count;
    account.m_LastError = error;
    return cli::MakeReport(account, list);
}

TEST(CliReport, TextJsonAndExitStatusOfEachOutcome) {
    Messages list(2);
    list.Add("Ann <ann@example.com>", "Hello", 1, "line one\r\n.\r\n");
    list.Add("Cy \"C\"\t\\/", "two\r\nlines caf\xe9\x01\x7f", 12, std::string("\0\x1f\x80\xff", 4));
    // A Subject that would recolour the terminal, ring its bell and start a C1 sequence
    // (also hidden in an overlong UTF-8 form), among UTF-8 text that must pass.
    Messages hostile(1);
    hostile.Add("Eve", "\x1b]0;owned\x07\x1b[31m\xe2\x82\xac \xc2\x9b\x9b\xc3\xa9 \xe0\x82\x9b", 1,
                "");
    list.Add("Dan", "ignored: the record is full", 3, "");
    Messages stale(1); // left from an earlier check: not this check's list
    stale.Add("Old", "Old", 1, "");
    const struct {
        cli::Report report;
        int exit;
        const char* text; // a failure goes to standard error instead
        const char* json;
    } cases[] = {
        // Header text cannot break the one-line-per-message rule; JSON strings are UTF-8
        // (a stray byte read as Latin-1), control characters escaped.
        {ReportOf(Account::ListRebuilt, 2, &list), 0,
         "2 messages waiting.\n1\t1 KB\tAnn <ann@example.com>\tHello\n"
         "2\t12 KB\tCy \"C\" \\/\ttwo  lines caf\\xe9\\x01\\x7f\n",
         "{\"status\":\"mail\",\"count\":2,\"messages\":["
         "{\"number\":1,\"from\":\"Ann <ann@example.com>\",\"subject\":\"Hello\","
         "\"size_kb\":1,\"summary\":\"line one\\r\\n.\\r\\n\"},"
         "{\"number\":2,\"from\":\"Cy \\\"C\\\"\\t\\\\/\",\"subject\":\"two\\r\\nlines "
         "caf\xc3\xa9\\u0001\\u007f\",\"size_kb\":12,\"summary\":\"\\u0000\\u001f\\u0080"
         "\xc3\xbf\"}]}\n"},
        {ReportOf(Account::ListRebuilt, 1, &hostile), 0,
         "1 message waiting.\n1\t1 KB\tEve\t\\x1b]0;owned\\x07\\x1b[31m\xe2\x82\xac "
         "\\u009b\\x9b\xc3\xa9 \\xe0\\x82\\x9b\n",
         "{\"status\":\"mail\",\"count\":1,\"messages\":[{\"number\":1,\"from\":\"Eve\","
         "\"subject\":\"\\u001b]0;owned\\u0007\\u001b[31m\xe2\x82\xac "
         "\\u009b\\u009b\xc3\xa9 \xc3\xa0\\u0082\\u009b\",\"size_kb\":1,\"summary\":\"\"}]}\n"},
        {ReportOf(Account::CountOnly, 4, nullptr), 0, "4 messages waiting.\n",
         "{\"status\":\"mail\",\"count\":4}\n"},
        {[&] {
             cli::Report secure = ReportOf(Account::CountOnly, 4, &stale);
             secure.secure = true;
             return secure;
         }(),
         0, "4 messages waiting.\n", "{\"status\":\"mail\",\"count\":4,\"secure\":true}\n"},
        {ReportOf(Account::MailboxEmpty, 0, nullptr), 1, "No messages waiting.\n",
         "{\"status\":\"empty\",\"count\":0}\n"},
        {ReportOf(Account::CheckFailed, 3, &stale, "Bad Password Name"), 2, "",
         "{\"status\":\"failed\",\"error\":\"Bad Password Name\",\"reason\":\"permanent\"}\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cli::ExitStatus(c.report), c.exit) << c.json;
        EXPECT_EQ(cli::FormatText(c.report), c.text);
        EXPECT_EQ(cli::FormatJson(c.report), c.json);
    }
}

} // namespace
