#include <gtest/gtest.h>

#include "settings/configuration.h"
#include "settings/profile.h"
#include "temp_profile.h"

namespace {

void ExpectDefaults(const CConfiguration& config) {
    EXPECT_EQ(config.m_CheckMailOnStartup, 1);
    EXPECT_EQ(config.m_UseDefaultSound, 1);
    EXPECT_EQ(config.m_UseDefaultEmail, 1);
    EXPECT_EQ(config.m_NotificationSoundFile, "GotMail.wav");
    EXPECT_EQ(config.m_Interval, 5);
    EXPECT_EQ(config.m_EmailClient, "");
    EXPECT_EQ(config.m_FirstTime, 1);
}

TEST(ConfigurationTest, AnEmptyOrMissingProfileLoadsTheDefaults) {
    TempProfile temp;
    CConfiguration missing;
    missing.Load();
    ExpectDefaults(missing);

    temp.Write("");
    CConfiguration empty;
    empty.Load();
    ExpectDefaults(empty);

    temp.Write("[MailSettings]\nInterval=9\nFirstTime=0\n");
    CConfiguration otherSection;
    otherSection.Load();
    ExpectDefaults(otherSection);
}

TEST(ConfigurationTest, SaveThenLoadGivesBackEveryFieldAndEndsTheFirstRun) {
    TempProfile temp;
    CConfiguration saved;
    saved.m_CheckMailOnStartup = 0;
    saved.m_UseDefaultSound = 0;
    saved.m_UseDefaultEmail = 0;
    saved.m_NotificationSoundFile = "C:\\Sounds\\ding dong.wav";
    saved.m_Interval = 999;
    saved.m_EmailClient = "\"C:\\Program Files\\Mail\\mail.exe\" -compose";
    saved.m_FirstTime = 1;
    saved.Save();

    CConfiguration loaded;
    loaded.Load();
    EXPECT_EQ(loaded.m_CheckMailOnStartup, 0);
    EXPECT_EQ(loaded.m_UseDefaultSound, 0);
    EXPECT_EQ(loaded.m_UseDefaultEmail, 0);
    EXPECT_EQ(loaded.m_NotificationSoundFile, saved.m_NotificationSoundFile);
    EXPECT_EQ(loaded.m_Interval, 999);
    EXPECT_EQ(loaded.m_EmailClient, saved.m_EmailClient);
    EXPECT_EQ(loaded.m_FirstTime, 0);
    EXPECT_EQ(saved.m_FirstTime, 1) << "Save changes only the stored value";
    EXPECT_EQ(Profile::Application().GetInt("Notification", "FirstTime", 1), 0);
}

TEST(ConfigurationTest, IntervalIsNotTheUpdateIntervalAndIsNotRangeChecked) {
    TempProfile temp;
    ASSERT_TRUE(Profile::Application().WriteInt("AutoUpdate", "Interval", 3));
    CConfiguration config;
    config.Load();
    config.m_Interval = 0;
    config.Save();
    EXPECT_EQ(Profile::Application().GetInt("AutoUpdate", "Interval", -1), 3);

    CConfiguration loaded;
    loaded.Load();
    EXPECT_EQ(loaded.m_Interval, 0);
    ASSERT_TRUE(Profile::Application().WriteInt("AutoUpdate", "Interval", 4));
    loaded.Load();
    EXPECT_EQ(loaded.m_Interval, 0);
}

} // namespace
