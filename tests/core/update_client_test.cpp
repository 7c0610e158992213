#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/scripted_http_server.h"
#include "settings/profile.h"
#include "temp_profile.h"
#include "update/auto_update_client.h"

namespace {

using testsupport::ScriptedHttpServer;

const char kUpdateFile[] = "/tarnwick/autoupdate.dat";
constexpr int kWaitMs = 10000;

// Stores update settings as the first run does, with an activation count already reached.
void Seed(const std::string& server, const std::string& path, int activation = 0) {
    CAutoUpdateClient seed(server, path, kProgramVersion, 3);
    seed.m_Activation = activation;
    seed.Save();
}

int StoredActivation() {
    return Profile::Application().GetInt("AutoUpdate", "Activation", -1);
}

std::string AbsolutePath(const ScriptedHttpServer& server) {
    return "http://" + server.Address() + kUpdateFile;
}

TEST(UpdateClient, SendsOneBareRequestLineWithTheWholeAddress) {
    TempProfile profile;
    ScriptedHttpServer server("version=106\n");
    Seed(server.Address(), AbsolutePath(server));
    CAutoUpdateClient client(1);
    ASSERT_TRUE(server.WaitForClosedConnections(1, kWaitMs));
    EXPECT_EQ(std::vector<std::string>{"GET " + AbsolutePath(server) + "\n"}, server.Requests());
}

TEST(UpdateClient, CountsChancesAndChecksOnTheThirdOrWhenForced) {
    TempProfile profile;
    ScriptedHttpServer server("version=106\n");
    Seed(server.Address(), kUpdateFile);
    for (const int expected : {1, 2}) {
        CAutoUpdateClient client(0);
        EXPECT_EQ(expected, StoredActivation());
    }
    {
        CAutoUpdateClient third(0);
        ASSERT_TRUE(server.WaitForClosedConnections(1, kWaitMs));
        EXPECT_FALSE(third.IsNewVersion());
        EXPECT_EQ(0, StoredActivation());
    }
    {
        CAutoUpdateClient forced(1);
        ASSERT_TRUE(server.WaitForClosedConnections(2, kWaitMs));
        EXPECT_EQ(0, StoredActivation());
    }
    EXPECT_EQ(2u, server.Requests().size()); // the first two chances sent nothing
}

struct ReplyCase {
    const char* name;
    std::string reply;
    bool newVersion;
    std::string url;
    bool reset; // the check succeeded, so the count starts again
};

class UpdateReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(UpdateReply, DecidesVersionAddressAndCount) {
    const ReplyCase& c = GetParam();
    TempProfile profile;
    ScriptedHttpServer server(c.reply);
    Seed(server.Address(), kUpdateFile, 4);
    CAutoUpdateClient client(1);
    ASSERT_TRUE(server.WaitForClosedConnections(1, kWaitMs));
    EXPECT_EQ(c.newVersion, client.IsNewVersion());
    EXPECT_EQ(c.url, client.GetDownloadURL());
    EXPECT_EQ(c.reset ? 0 : 5, StoredActivation());
    EXPECT_EQ(c.url, Profile::Application().GetString("AutoUpdate", "DownloadURL", "?"));
}

const std::string kPadding(250, 'x');

INSTANTIATE_TEST_SUITE_P(
    Replies, UpdateReply,
    ::testing::Values(
        ReplyCase{"Newer", "version=107\nurl=http://dl.example.org/t107.exe\n", true,
                  "http://dl.example.org/t107.exe", true},
        ReplyCase{"NewerAmongOtherText",
                  "HTTP/1.0 200 OK\r\n\r\n# latest\nversion= 107 (beta)\nnotes\nurl=https://"
                  "dl.example.org/t?v=107&x=%20",
                  true, "https://dl.example.org/t?v=107&x=%20", true},
        ReplyCase{"Same", "version=106\nurl=http://dl.example.org/t106.exe\n", false, "", true},
        ReplyCase{"NewerWithoutAddress", "version=107\n", true, "", false},
        ReplyCase{"AddressBeforeVersionOnly", "url=http://a.example/\nversion=107\n", true, "",
                  false},
        ReplyCase{"NoLineFeed", "version=107", false, "", false},
        ReplyCase{"NoVersion", "<html>Not Found</html>\n", false, "", false},
        ReplyCase{"CrLfLines", "version=107\r\nurl=http://dl.example.org/t.exe\r\n", true,
                  "http://dl.example.org/t.exe", true},
        // Only the first 255 bytes count: the version line lies past them.
        ReplyCase{"VersionPast255", kPadding + "\nversion=107\nurl=http://a.example/\n", false, "",
                  false},
        // ...and here the address does.
        ReplyCase{"AddressPast255", "version=107\n" + kPadding + "\nurl=http://a.example/\n", true,
                  "", false},
        ReplyCase{"FileUrl", "version=107\nurl=file:///C:/Windows/system32/calc.exe\n", true, "",
                  false},
        ReplyCase{"Share", "version=107\nurl=\\\\evil.example\\share\\setup.exe\n", true, "",
                  false},
        ReplyCase{"LocalProgram", "version=107\nurl=C:\\setup.exe\n", true, "", false},
        ReplyCase{"Script", "version=107\nurl=javascript:alert(1)\n", true, "", false},
        ReplyCase{"ControlCharacter", "version=107\nurl=http://a.example/\x1b[2J\n", true, "",
                  false},
        ReplyCase{"QuoteBreakingOut", "version=107\nurl=http://a.example/\" calc\n", true, "",
                  false},
        ReplyCase{"NoHost", "version=107\nurl=http:///etc/passwd\n", true, "", false}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

TEST(UpdateClient, IncompleteSettingsSendNothingAndAreSavedBack) {
    TempProfile profile;
    ScriptedHttpServer server("version=107\nurl=http://a.example/\n");
    for (const auto& [serverText, path] :
         {std::pair<std::string, std::string>{"", kUpdateFile}, {server.Address(), ""}}) {
        Seed(serverText, path, 1);
        CAutoUpdateClient client(1);
        EXPECT_FALSE(client.IsNewVersion());
        EXPECT_EQ(1, StoredActivation());
        EXPECT_EQ(3, Profile::Application().GetInt("AutoUpdate", "Interval", -1));
    }
    EXPECT_FALSE(server.WaitForClosedConnections(1, 300));
}

TEST(UpdateClient, SilentServerEndsWithinTheTimeLimitAndKeepsCounting) {
    TempProfile profile;
    ScriptedHttpServer server("", true);
    Seed(server.Address(), kUpdateFile, 2);
    CAutoUpdateClient::SetTimeLimit(300);
    {
        CAutoUpdateClient client(0);
        EXPECT_FALSE(client.IsNewVersion());
    }
    CAutoUpdateClient::SetTimeLimit(5000);
    EXPECT_EQ(3, StoredActivation());
    ASSERT_TRUE(server.WaitForClosedConnections(1, kWaitMs));
}

TEST(UpdateClient, ClosedPortFailsAndTheNextChanceChecksAgain) {
    TempProfile profile;
    std::string address;
    {
        ScriptedHttpServer gone("");
        address = gone.Address();
    }
    Seed(address, kUpdateFile, 2);
    { CAutoUpdateClient third(0); }
    EXPECT_EQ(3, StoredActivation());
    ScriptedHttpServer server("version=106\n");
    Seed(server.Address(), kUpdateFile, 3);
    { CAutoUpdateClient fourth(0); }
    ASSERT_TRUE(server.WaitForClosedConnections(1, kWaitMs));
    EXPECT_EQ(0, StoredActivation());
}

TEST(UpdateClient, FirstRunSeedsTheMakersFileInSaveOrder) {
    TempProfile profile;
    SeedUpdateSettings();
    std::string stored = profile.Read();
    stored.erase(std::remove(stored.begin(), stored.end(), '\r'), stored.end()); // Windows
    EXPECT_EQ("[AutoUpdate]\nInterval=3\nPath=http://tarnwick.example.org/tarnwick/autoupdate.dat\n"
              "Server=tarnwick.example.org\nDownloadURL=\nCurrentVersion=106\nActivation=0\n",
              stored);
}

TEST(UpdateClient, StaticVersionAccessReadsAndWritesTheProfile) {
    TempProfile profile;
    EXPECT_EQ(0, CAutoUpdateClient::GetCurrentVersion());
    CAutoUpdateClient::SetCurrentVersion(kProgramVersion);
    EXPECT_EQ(106, Profile::Application().GetInt("AutoUpdate", "CurrentVersion", 0));
    EXPECT_EQ(106, CAutoUpdateClient::GetCurrentVersion());
}

} // namespace
