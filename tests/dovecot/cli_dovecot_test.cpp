#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "dovecot_fixture.h"
#include "run_process.h"
#include "settings/account.h"
#include "settings/profile.h"

namespace {

// Reads tarnwick-check's JSON with a real parser and prints it back in a plain form:
// "status count" on the first line, then "number|size_kb|from|subject|first summary line".
const char kJsonDigest[] = R"(
import json, sys
d = json.load(sys.stdin)
print(d["status"], d.get("count", "-"), d.get("error", ""))
for m in d.get("messages", []):
    print(m["number"], m["size_kb"], m["from"], m["subject"], m["summary"].split("\r\n")[0], sep="|")
)";

class DovecotCli : public DovecotTest {
protected:
    void SetUp() override {
        DovecotTest::SetUp();
        char pattern[] = "/tmp/tarnwick-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
        m_profile = m_folder + "/tarnwick.ini";
    }
    void TearDown() override { RunProcess({"/bin/rm", "-rf", m_folder}, ""); }

    ProcessResult Check(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), TARNWICK_CHECK_EXE);
        return RunProcess(args, input);
    }
    ProcessResult Setup(const std::string& password) {
        return Check({"--setup", "--profile", m_profile, "--server", Server().Server(), "--user",
                      "test", "--password-stdin"},
                     password + "\n");
    }
    static std::string Digest(const std::string& json) {
        const ProcessResult r = RunProcess({"/usr/bin/env", "python3", "-c", kJsonDigest}, json);
        EXPECT_EQ(r.exitCode, 0) << "not JSON: " << json << "\n" << r.err;
        return r.out;
    }

    std::string m_folder;
    std::string m_profile;
};

TEST_F(DovecotCli, SetupWritesTheAccountAsTheSheetWould) {
    // Summary settings stored earlier are kept.
    Profile before(m_profile);
    ASSERT_TRUE(before.WriteInt("MailSettings", "Summarysize", 3));
    ASSERT_TRUE(before.WriteInt("MailSettings", "Summaries", 0));

    const ProcessResult r = Setup("s3cret pass");
    ASSERT_EQ(r.exitCode, 0) << r.err;

    Profile profile(m_profile);
    EXPECT_EQ(profile.GetString("MailSettings", "Mail server"), Server().Server());
    EXPECT_EQ(profile.GetString("MailSettings", "User name"), "test");
    const std::string stored = profile.GetString("MailSettings", "RegKey");
    EXPECT_EQ(stored.size(), std::string("s3cret pass").size());
    EXPECT_NE(stored, "s3cret pass");
    EXPECT_EQ(profile.GetInt("MailSettings", "Summarysize", 8), 3);
    EXPECT_EQ(profile.GetInt("MailSettings", "Summaries", 1), 0);

    // The password is nowhere in the file as typed, and the account reads it back.
    std::FILE* file = std::fopen(m_profile.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string text(4096, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), file));
    std::fclose(file);
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
    Profile::UseFile(m_profile);
    Account account;
    account.Load();
    EXPECT_EQ(account.m_Password, "s3cret pass");
}

TEST_F(DovecotCli, CheckPrintsTheList) {
    const auto seeded = Seed(3, {700, 2048, 2049});
    ASSERT_EQ(Setup("secret").exitCode, 0);

    const ProcessResult r = Check({"--profile", m_profile});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string expected = "3 messages waiting.\n";
    for (int n = 1; n <= 3; ++n) {
        const SeededMessage& m = seeded[static_cast<std::size_t>(n - 1)];
        expected += std::to_string(n) + "\t" + std::to_string(m.Kilobytes()) + " KB\t" +
                    m.Header("From") + "\tMessage " + std::to_string(n) + "\n";
    }
    EXPECT_EQ(r.out, expected);
    EXPECT_NE(r.out.find("\t1 KB\t"), std::string::npos);
    EXPECT_NE(r.out.find("\t3 KB\t"), std::string::npos);
}

TEST_F(DovecotCli, JsonIsValidAndCarriesTheSameList) {
    const auto seeded = Seed(2, {1500});
    ASSERT_EQ(Setup("secret").exitCode, 0);

    const ProcessResult r = Check({"--json", "--profile=" + m_profile});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Digest(r.out),
              "mail 2 \n"
              "1|2|Sender 1 <sender1@example.com>|Message 1|Body line 1 of message 1\n"
              "2|" +
                  std::to_string(seeded[1].Kilobytes()) +
                  "|Sender 2 <sender2@example.com>|Message 2|Body line 1 of "
                  "message 2\n");
}

TEST_F(DovecotCli, EmptyMailboxExitsWithOne) {
    Seed(0);
    ASSERT_EQ(Setup("secret").exitCode, 0);
    ProcessResult r = Check({"--profile", m_profile});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "No messages waiting.\n");

    r = Check({"--profile", m_profile, "--json"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(Digest(r.out), "empty 0 \n");
}

TEST_F(DovecotCli, SummariesOffPrintsTheCountOnly) {
    Seed(2);
    ASSERT_EQ(Setup("secret").exitCode, 0);
    ASSERT_TRUE(Profile(m_profile).WriteInt("MailSettings", "Summaries", 0));
    const ProcessResult r = Check({"--profile", m_profile});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2 messages waiting.\n");
}

TEST_F(DovecotCli, FailuresExitWithTwoAndTheTextOnStandardError) {
    Seed(1);
    ASSERT_EQ(Setup("wrong").exitCode, 0);
    ProcessResult r = Check({"--profile", m_profile});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Bad Password Name\n");

    r = Check({"--profile", m_profile, "--json"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(Digest(r.out), "failed - Bad Password Name\n");

    // Nothing listens on the port of a server that was just stopped elsewhere: a closed
    // loopback port.
    ASSERT_EQ(Check({"--setup", "--profile", m_profile, "--server", "127.0.0.1:1", "--user", "test",
                     "--password-stdin"},
                    "secret\n")
                  .exitCode,
              0);
    r = Check({"--profile", m_profile});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "Server cannot be connected\n");

    // A profile without an account.
    r = Check({"--profile", m_folder + "/none.ini"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--setup"), std::string::npos) << r.err;
}

TEST_F(DovecotCli, BadOptionsGetTheUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--profile"}, {"--setup", "--password", "x"}, {"extra"}}) {
        const ProcessResult r = Check(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: tarnwick-check"), std::string::npos) << r.err;
    }
    const ProcessResult help = Check({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--password-stdin"), std::string::npos);
}

TEST_F(DovecotCli, SetupAsksOnTheTerminalWithoutEchoingThePassword) {
    Seed(1);
    const std::vector<std::string> setup = {TARNWICK_CHECK_EXE, "--setup", "--profile", m_profile};
    ProcessResult r = RunOnTerminal(setup, {{"Mail server []: ", Server().Server() + "\n"},
                                            {"User name []: ", "test\n"},
                                            {"Password", "secret\n"}});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("test\r\n"), std::string::npos) << r.out; // the user name echoes
    EXPECT_EQ(r.out.find("secret"), std::string::npos) << r.out;
    EXPECT_EQ(Check({"--profile", m_profile}).exitCode, 0); // Dovecot took the password

    // Enter alone keeps what is stored, the password included.
    r = RunOnTerminal(setup, {{"Mail server [" + Server().Server() + "]: ", "\n"},
                              {"User name [test]: ", "\n"},
                              {"Password", "\n"}});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Check({"--profile", m_profile}).exitCode, 0);
}

TEST_F(DovecotCli, SetupWithoutATerminalOrInputFailsCleanly) {
    // The child has no terminal to ask on.
    ProcessResult r = Check({"--setup", "--profile", m_profile, "--server", "h", "--user", "u"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--password-stdin"), std::string::npos) << r.err;

    r = Check({"--setup", "--profile", m_profile});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--server"), std::string::npos) << r.err;

    r = Check(
        {"--setup", "--profile", m_profile, "--server", "h", "--user", "u", "--password-stdin"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("standard input"), std::string::npos) << r.err;

    // Nothing was written by any of them.
    EXPECT_EQ(Profile(m_profile).GetString("MailSettings", "Mail server"), "");
}

} // namespace
