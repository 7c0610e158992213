#include <filesystem>
#include <string>
#include <windows.h>

#include <gtest/gtest.h>

#include "settings/account.h"
#include "settings/profile.h"
#include "temp_profile.h"

namespace {

TEST(ProfileReplace, AWriteThatCannotFinishLeavesThePreviousFileWhole) {
    TempProfile temp;
    Profile profile(temp.Path());
    ASSERT_TRUE(profile.WriteString("MailSettings", "User name", "ann"));
    const std::string before = temp.Read();
    // Another program reads the file without letting it be replaced: the temporary file is
    // written, but it cannot take the old one's place.
    const HANDLE reader = ::CreateFileA(temp.Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(profile.WriteString("MailSettings", "User name", "bob"));
    ::CloseHandle(reader);
    EXPECT_EQ(temp.Read(), before);
    EXPECT_EQ(temp.EntryCount(), 1) << "a temporary file was left behind";
}

TEST(ProfilePath, TheDefaultLivesInTheRoamingKnownFolderWhateverAppDataSays) {
    TempProfile temp;
    char old[MAX_PATH] = "";
    ASSERT_GT(::GetEnvironmentVariableA("APPDATA", old, MAX_PATH), 0u);
    const std::string before = Profile::DefaultPath();
    ASSERT_TRUE(::SetEnvironmentVariableA("APPDATA", temp.Folder().string().c_str()));
    const std::string after = Profile::DefaultPath();
    ::SetEnvironmentVariableA("APPDATA", old);
    EXPECT_EQ(after, before);
    const std::string tail = "\\Tarnwick\\tarnwick.ini";
    ASSERT_GT(before.size(), tail.size());
    EXPECT_EQ(before.substr(before.size() - tail.size()), tail);
    EXPECT_TRUE(std::filesystem::is_directory(
        std::filesystem::u8path(before.substr(0, before.size() - tail.size()))));
}

TEST(ProfilePath, AFolderOutsideTheAnsiCodePageIsMadeWrittenReadAndReplaced) {
    TempProfile temp;
    const std::filesystem::path folder = temp.Folder() / L"\u03a9\u6570\u636e";
    const std::string path = (folder / L"tarnwick.ini").u8string();
    Profile profile(path);
    ASSERT_TRUE(profile.WriteString("MailSettings", "User name", "ann"));
    ASSERT_TRUE(profile.WriteInt("MailSettings", "Summaries", 0)); // replaces the first file
    EXPECT_EQ(profile.GetString("MailSettings", "User name"), "ann");
    EXPECT_EQ(profile.GetInt("MailSettings", "Summaries", 1), 0);
    EXPECT_TRUE(std::filesystem::exists(folder / L"tarnwick.ini"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

// The password is stored encrypted for the user; a profile from before keeps working and
// loses its scrambled password at the next save. A scrambled password written since (by an
// older version) is the newer one, and a protected value from another user or machine
// (here: not a protected value at all) cannot stand in for it.
TEST(PasswordProtection, RoundTripsAnOldProfileIsReadAndTheNextSaveLeavesNoTrace) {
    TempProfile temp;
    Profile& profile = Profile::Application();
    ASSERT_TRUE(profile.WriteString("MailSettings", "RegKey", Account::Scramble("old s3cret", 23)));
    Account old;
    old.Load();
    EXPECT_EQ("old s3cret", old.m_Password);

    // Any password's round trip the settings suite checks, here through the protection too.
    ASSERT_TRUE(old.Save());
    EXPECT_EQ("", profile.GetString("MailSettings", "RegKey", "?"));
    EXPECT_EQ(std::string::npos, temp.Read().find("old s3cret"));
    Account loaded;
    loaded.Load();
    EXPECT_EQ("old s3cret", loaded.m_Password);

    ASSERT_TRUE(profile.WriteString("MailSettings", "ProtectedPassword", "0123456789ABCDEF"));
    ASSERT_TRUE(profile.WriteString("MailSettings", "RegKey", Account::Scramble("fallback", 23)));
    Account fallback;
    fallback.Load();
    EXPECT_EQ("fallback", fallback.m_Password);

    // Only the protected value, and not this user's: it reads as no password, and is kept
    // through saves until a password is entered here.
    ASSERT_TRUE(profile.WriteString("MailSettings", "RegKey", ""));
    Account carried;
    carried.Load();
    EXPECT_EQ("", carried.m_Password);
    ASSERT_TRUE(carried.Save());
    EXPECT_EQ("0123456789ABCDEF", profile.GetString("MailSettings", "ProtectedPassword"));
    carried.m_Password = "new";
    ASSERT_TRUE(carried.Save());
    Account reloaded;
    reloaded.Load();
    EXPECT_EQ("new", reloaded.m_Password);
}

} // namespace
