// The two settings records in the profile: the application's and the account's.
#include <string>

#include <gtest/gtest.h>

#include "settings/account.h"
#include "settings/configuration.h"
#include "settings/profile.h"
#include "temp_profile.h"

namespace {

std::string Fields(const CConfiguration& c) {
    return std::to_string(c.m_CheckMailOnStartup) + std::to_string(c.m_UseDefaultSound) +
           std::to_string(c.m_UseDefaultEmail) + "|" + c.m_NotificationSoundFile + "|" +
           std::to_string(c.m_Interval) + "|" + c.m_EmailClient + "|" +
           std::to_string(c.m_FirstTime) + "|" + std::to_string(c.m_ShowNotice);
}

std::string Fields(const Account& a) {
    return a.m_UserName + "|" + a.m_Password + "|" + a.m_MailServer + "|" +
           std::to_string(a.m_SummarySize) + "|" + std::to_string(a.m_Summaries);
}

TEST(Settings, AProfileWithoutTheirSectionsLoadsTheDefaults) {
    TempProfile temp;
    const std::string other = "[Other]\nInterval=9\nFirstTime=0\nUser name=x\nSummaries=0\n";
    temp.Write(other);
    CConfiguration config;
    config.Load();
    EXPECT_EQ(Fields(config), "111|GotMail.wav|5||1|1");
    Account account;
    account.Set("stale", "stale", "stale", 1, 0);
    EXPECT_EQ(temp.Read(), other) << "Set stores nothing";
    EXPECT_TRUE(account.Load());
    EXPECT_EQ(Fields(account), "|||8|1");
}

TEST(Settings, ConfigurationRoundTripsAndLeavesTheUpdateInterval) {
    TempProfile temp;
    Profile& profile = Profile::Application();
    ASSERT_TRUE(profile.WriteInt("AutoUpdate", "Interval", 3));
    CConfiguration saved; // every number 0, unlike the defaults; the interval is not checked
    saved.m_NotificationSoundFile = "C:\\Sounds\\ding dong.wav";
    saved.m_EmailClient = "\"C:\\Program Files\\Mail\\mail.exe\" -compose";
    saved.m_FirstTime = 1;
    saved.Save();
    EXPECT_EQ(profile.GetInt("AutoUpdate", "Interval", -1), 3);
    ASSERT_TRUE(profile.WriteInt("AutoUpdate", "Interval", 4));
    CConfiguration loaded;
    loaded.Load();
    saved.m_FirstTime = 0; // saving ends the first run
    EXPECT_EQ(Fields(loaded), Fields(saved));
}

TEST(Settings, TheAccountAndAnyPasswordRoundTrip) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    const char key = static_cast<char>(Account::s_PasswordKey);
    const std::string toBlanks = {static_cast<char>(' ' ^ key), 'x', static_cast<char>('\t' ^ key)};
    TempProfile temp;
    for (const std::string& password :
         {std::string("secret"), everyByte, std::string(3, key) + "x" + key,
          std::string("  blanks at both ends  "), toBlanks, std::string("\"quote"),
          std::string()}) {
        SCOPED_TRACE("password of " + std::to_string(password.size()) + " characters");
        Account account;
        account.Set("ann", password, "pop.example.com:995", 20, 0);
        EXPECT_TRUE(account.Save());
        EXPECT_TRUE(password.empty() || temp.Read().find(password) == std::string::npos);
        Account loaded;
        EXPECT_TRUE(loaded.Load());
        EXPECT_EQ(Fields(loaded), Fields(account));
    }
}

} // namespace

TEST(Settings, SecurityAndLoginRoundTripOldProfilesMeanNoneAndNormalAndPort995MeansTls) {
    TempProfile temp;
    temp.Write("[MailSettings]\nMail server=pop.example.com\nSecurity=ssl\nLoginMethod=apop\n");
    Account old; // words that are not ours: no security and the plain login, not a guess
    old.m_Security = pop3::Security::Tls;
    old.m_LoginMethod = pop3::LoginMethod::Encrypted;
    old.Load();
    EXPECT_EQ(old.m_Security, pop3::Security::None);
    EXPECT_EQ(old.m_LoginMethod, pop3::LoginMethod::Normal);
    using S = pop3::Security;
    const struct {
        const char* server;
        S stored, used;
    } cases[] = {
        {"pop.example.com", S::None, S::None},
        {"pop.example.com:995", S::None, S::Tls},
        {"pop.example.com:995", S::StartTls, S::StartTls},
        {"pop.example.com", S::Tls, S::Tls},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.server) + " " + pop3::SecurityName(c.stored));
        Account saved;
        saved.Set("ann", "secret", c.server, 8, 1);
        saved.m_Security = c.stored;
        saved.m_LoginMethod =
            c.used == S::Tls ? pop3::LoginMethod::Encrypted : pop3::LoginMethod::Normal;
        saved.m_TrustedCertificate = c.server; // any text: the profile does not judge it
        saved.Save();
        Account loaded;
        loaded.Load();
        EXPECT_EQ(loaded.m_Security, c.stored);
        EXPECT_EQ(loaded.m_LoginMethod, saved.m_LoginMethod);
        EXPECT_EQ(loaded.m_TrustedCertificate, c.server);
        EXPECT_EQ(loaded.EffectiveSecurity(), c.used);
    }
}
