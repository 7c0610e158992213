#include <gtest/gtest.h>

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

void Seed(const std::string& server, const std::string& path, int activation = 0) {
    CAutoUpdateClient seed(server, path, kProgramVersion, 3);
    seed.m_Activation = activation;
    seed.Save();
}

int StoredActivation() {
    return Profile::Application().GetInt("AutoUpdate", "Activation", -1);
}

TEST(UpdateClient, CountsChancesChecksOnTheThirdOrWhenForcedWithOneBareRequestLine) {
    TempProfile profile;
    ScriptedHttpServer server("version=106\n");
    const std::string path = "http://" + server.Address() + kUpdateFile;
    Seed(server.Address(), path);
    for (const int expected : {1, 2}) {
        CAutoUpdateClient client(0);
        EXPECT_EQ(expected, StoredActivation());
    }
    { CAutoUpdateClient third(0); }
    EXPECT_EQ(0, StoredActivation());
    { CAutoUpdateClient forced(1); }
    EXPECT_EQ(0, StoredActivation());
    ASSERT_TRUE(server.WaitForClosedConnections(2, kWaitMs));
    // The whole address, as to a proxy; no version, no headers, no CR.
    EXPECT_EQ(std::vector<std::string>(2, "GET " + path + "\n"), server.Requests());
}

// The update fuzzer holds any reply to the first 255 bytes and to the addresses it names.
TEST(UpdateClient, EachReplyDecidesVersionAddressAndCount) {
    const struct {
        std::string reply;
        bool newVersion;
        std::string url;
        bool reset; // the check succeeded, so the count starts again
    } cases[] = {
        {"version=107\nurl=http://dl.example.org/t107.exe\n", true,
         "http://dl.example.org/t107.exe", true},
        {"HTTP/1.0 200 OK\r\n\r\nurl=http://early.example/\nversion= 107 (beta)\nurl="
         "https://dl.example.org/t?v=107&x=%20",
         true, "https://dl.example.org/t?v=107&x=%20", true},
        {"version=106\nurl=http://dl.example.org/t106.exe\n", false, "", true},
        {"version=107\n", true, "", false},
        {"version=107", false, "", false}, // no line feed
        {"version=107\r\nurl=http://dl.example.org/t.exe\r\n", true, "http://dl.example.org/t.exe",
         true},
        // A spoofed file must never make a click start a local program: only http(s),
        // and only characters an address may hold.
        {"version=107\nurl=file:///C:/Windows/system32/calc.exe\n", true, "", false},
        {"version=107\nurl=http://a.example/\" calc\n", true, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        TempProfile profile;
        ScriptedHttpServer server(c.reply);
        Seed(server.Address(), kUpdateFile, 4);
        CAutoUpdateClient client(1);
        EXPECT_EQ(c.newVersion, client.IsNewVersion());
        EXPECT_EQ(c.url, client.GetDownloadURL());
        EXPECT_EQ(c.url, Profile::Application().GetString("AutoUpdate", "DownloadURL", "?"));
        EXPECT_EQ(c.reset ? 0 : 5, StoredActivation());
    }
}

TEST(UpdateClient, IncompleteSettingsSendNothingAndAreSavedBack) {
    TempProfile profile;
    ScriptedHttpServer server("version=107\nurl=http://a.example/\n");
    for (const auto& [serverText, path] :
         {std::pair<std::string, std::string>{"", kUpdateFile}, {server.Address(), ""}}) {
        Seed(serverText, path, 1);
        CAutoUpdateClient client(1);
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
    { CAutoUpdateClient client(0); }
    CAutoUpdateClient::SetTimeLimit(5000);
    EXPECT_EQ(3, StoredActivation());
}

} // namespace
