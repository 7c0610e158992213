#include <filesystem>
#include <vector>

#include "dovecot_server.h"
#include "settings/profile.h"

namespace {

// tarnwick-check as scripts run it: no terminal, the password on standard input.
class DovecotCli : public DovecotTest {
protected:
    void SetUp() override {
        DovecotTest::SetUp();
        std::filesystem::remove(m_profile);
    }
    ProcessResult Check(const std::string& args, const std::string& input = "") {
        return Dovecot().Run(TARNWICK_CHECK_EXE " --profile " + m_profile + " " + args, input);
    }
    int Setup(const std::string& server, const std::string& password) {
        return Check("--setup --server " + server + " --user test --password-stdin",
                     password + "\n")
            .exitCode;
    }
    const std::string m_profile = Dovecot().Folder() + "/tarnwick.ini";
};

TEST_F(DovecotCli, SetupStoresTheAccountAndGermanRussianAndJapaneseMailReadsAsWritten) {
    // The demo mailbox's messages, encoded as their mailers encode them.
    std::vector<std::string> files;
    for (int n = 5; n <= 7; ++n) {
        files.push_back(TARNWICK_DEMO_DIR "/" + std::to_string(n) + ".eml");
    }
    Dovecot().SeedFiles(files);
    // The summary settings stored by the window are kept.
    ASSERT_TRUE(Profile(m_profile).WriteInt("MailSettings", "Summarysize", 12));
    ASSERT_EQ(Setup(Dovecot().Server(), "secret"), 0);
    Profile profile(m_profile);
    EXPECT_EQ(profile.GetString("MailSettings", "Mail server"), Dovecot().Server());
    EXPECT_EQ(profile.GetString("MailSettings", "User name"), "test");
    EXPECT_EQ(profile.GetString("MailSettings", "RegKey").size(), 6u);
    EXPECT_EQ(TempProfile::ReadFile(m_profile).find("secret"), std::string::npos)
        << "not scrambled";
    EXPECT_EQ(profile.GetInt("MailSettings", "Summarysize", 8), 12);
    const struct {
        const char *from, *subject, *summary; // the summary as JSON escapes it
    } seen[] = {
        {"Jürgen Müller <juergen@example.de>", "Ärger mit der Bahn – Grüße aus Köln",
         "Hallo zusammen,\\r\\n\\r\\nder Zug nach Köln fällt schon wieder aus. Ich komme erst "
         "gegen halb neun an – bitte fangt ohne mich an.\\r\\n\\r\\nViele Grüße\\r\\n"
         "Jürgen\\r\\n"},
        {"Иван Петров <ivan@example.ru>", "Отчёт за ноябрь",
         "Добрый день!\\r\\n\\r\\nОтчёт за ноябрь во вложении. Жду ваших замечаний до "
         "пятницы.\\r\\n\\r\\nИван\\r\\n"},
        {"山田太郎 <taro@example.jp>", "会議のお知らせ",
         "山田です。\\r\\n明日の会議は午後三時から第二会議室で行います。\\r\\n"
         "よろしくお願いします。\\r\\n"},
    };
    // The text form of the same rows is the report suite's.
    std::string json = "{\"status\":\"mail\",\"count\":3,\"messages\":[";
    for (int i = 0; i < 3; ++i) {
        const std::string size =
            std::to_string((std::filesystem::file_size(files[i]) + 1023) / 1024);
        json += (i > 0 ? "," : "") + std::string("{\"number\":") + std::to_string(i + 1) +
                ",\"from\":\"" + seen[i].from + "\",\"subject\":\"" + seen[i].subject +
                "\",\"size_kb\":" + size + ",\"summary\":\"" + seen[i].summary + "\"}";
    }
    const ProcessResult r = Check("--json");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, json + "]}\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(DovecotCli, EmptyMailboxAndFailuresGiveTheirExitStatusAndText) {
    Dovecot().Seed(0);
    // The server's own words come along, and a fault that passes by itself exits 75; a
    // failure's text goes to standard error in either form.
    const struct {
        std::string server, password, args;
        int exit;
        std::string out, err;
    } cases[] = {
        {Dovecot().Server(), "secret", "", 1, "No messages waiting.\n", ""},
        {Dovecot().Server(), "wrong", "--json", 2,
         "{\"status\":\"failed\",\"error\":\"Bad Password Name\",\"reason\":\"auth\","
         "\"server\":\"Authentication failed.\"}\n",
         "Bad Password Name\nThe server said: Authentication failed.\n"},
        {"127.0.0.1:1", "secret", "--json", 75, // a closed port
         "{\"status\":\"failed\",\"error\":\"Server cannot be connected\",\"reason\":"
         "\"network\"}\n",
         "Server cannot be connected\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password + " " + c.args);
        ASSERT_EQ(Setup(c.server, c.password), 0);
        const ProcessResult r = Check(c.args);
        EXPECT_EQ(r.exitCode, c.exit);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(DovecotCli, SetupWithoutAPasswordToReadFailsAndWritesNothing) {
    for (const std::string missing : {"", "--password-stdin"}) {
        const ProcessResult r = Check("--setup --server h --user u " + missing);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(missing.empty() ? "--password-stdin" : "standard input"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(m_profile));
    const ProcessResult r = Check("");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--setup"), std::string::npos) << r.err;
}

} // namespace
