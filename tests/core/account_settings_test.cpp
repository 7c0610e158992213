#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/account.h"
#include "settings/profile.h"
#include "temp_profile.h"

namespace {

TEST(AccountSettingsTest, AProfileWithoutMailSettingsLoadsTheDefaults) {
    TempProfile temp;
    temp.Write("[Notification]\nUser name=not this one\n");
    Account account;
    account.m_UserName = "stale";
    account.m_Password = "stale";
    account.m_MailServer = "stale";
    account.m_SummarySize = 1;
    account.m_Summaries = 0;
    EXPECT_TRUE(account.Load());
    EXPECT_EQ(account.m_MailServer, "");
    EXPECT_EQ(account.m_UserName, "");
    EXPECT_EQ(account.m_Password, "");
    EXPECT_EQ(account.m_SummarySize, 8);
    EXPECT_EQ(account.m_Summaries, 1);
    EXPECT_EQ(account.GetStatus(), Account::ListRebuilt);
}

TEST(AccountSettingsTest, SetTouchesOnlyTheRecordAndSaveStoresIt) {
    TempProfile temp;
    Account account;
    account.Set("ann", "secret", "pop.example.com:995", 20, 0);
    EXPECT_FALSE(std::filesystem::exists(temp.Path()));
    EXPECT_TRUE(account.Save());

    Account loaded;
    EXPECT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.m_UserName, "ann");
    EXPECT_EQ(loaded.m_Password, "secret");
    EXPECT_EQ(loaded.m_MailServer, "pop.example.com:995");
    EXPECT_EQ(loaded.m_SummarySize, 20);
    EXPECT_EQ(loaded.m_Summaries, 0);
    EXPECT_EQ(temp.Read().find("secret"), std::string::npos) << "the password is stored plain";
}

TEST(AccountSettingsTest, AnyPasswordRoundTripsScrambled) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte += static_cast<char>(c);
    const std::string key(1, static_cast<char>(Account::s_PasswordKey));
    const std::vector<std::string> passwords = {
        everyByte,
        key,
        key + key + "x" + key,
        "  blanks at both ends  ",
        "\t\ttabs\t",
        std::string(1, static_cast<char>(' ' ^ Account::s_PasswordKey)) + "scrambles to blanks" +
            std::string(1, static_cast<char>('\t' ^ Account::s_PasswordKey)),
        "\r\n=\"'\\;#[]",
        "\"starts with a quote",
        "p\xE4\xDF"
        "w\xF6rd\xFF",
        "plain",
        "",
    };
    TempProfile temp;
    for (const std::string& password : passwords) {
        SCOPED_TRACE("password of " + std::to_string(password.size()) + " characters");
        Account account;
        account.Set("user", password, "server", 8, 1);
        account.Save();

        const std::string stored = Profile::Application().GetString("MailSettings", "RegKey");
        ASSERT_EQ(stored.size(), password.size());
        for (std::size_t i = 0; i < password.size(); ++i)
            EXPECT_NE(stored[i], password[i]) << "position " << i;
        EXPECT_EQ(Account::Scramble(stored, Account::s_PasswordKey), password);

        Account loaded;
        loaded.Load();
        EXPECT_EQ(loaded.m_Password, password);
    }
}

} // namespace
