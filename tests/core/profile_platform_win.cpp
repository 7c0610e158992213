#include <string>
#include <windows.h>

#include <gtest/gtest.h>

#include "settings/profile.h"
#include "temp_profile.h"

namespace {

TEST(ProfileReplaceTest, AWriteThatCannotFinishLeavesThePreviousFileWhole) {
    TempProfile temp;
    Profile profile(temp.Path());
    ASSERT_TRUE(profile.WriteString("MailSettings", "User name", "ann"));
    ASSERT_TRUE(profile.WriteInt("MailSettings", "Summarysize", 8));
    const std::string before = temp.Read();
    {
        // Another program reading the file without letting it be replaced: the temporary
        // file is written, but it cannot take the old one's place.
        const HANDLE reader = ::CreateFileA(temp.Path().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        EXPECT_EQ(profile.GetString("MailSettings", "User name"), "ann");
        EXPECT_FALSE(profile.WriteString("MailSettings", "Mail server", "pop.example.com"));
        ::CloseHandle(reader);
    }
    EXPECT_EQ(temp.Read(), before);
    EXPECT_EQ(temp.EntryCount(), 1u) << "a temporary file was left behind";

    EXPECT_TRUE(profile.WriteString("MailSettings", "Mail server", "pop.example.com"));
    EXPECT_EQ(profile.GetString("MailSettings", "Mail server"), "pop.example.com");
}

TEST(ProfilePathTest, TheDefaultLivesInAppDataAndItsFolderIsMadeOnFirstWrite) {
    TempProfile temp;
    char old[MAX_PATH] = "";
    const DWORD oldLength = ::GetEnvironmentVariableA("APPDATA", old, MAX_PATH);
    ASSERT_GT(oldLength, 0u);
    ASSERT_TRUE(::SetEnvironmentVariableA("APPDATA", temp.Folder().string().c_str()));

    const std::string path = Profile::DefaultPath();
    Profile profile(path);
    const bool written = profile.WriteInt("AutoUpdate", "CurrentVersion", 106);
    ::SetEnvironmentVariableA("APPDATA", old);

    EXPECT_EQ(path, temp.Folder().string() + "\\Tarnwick\\tarnwick.ini");
    EXPECT_TRUE(written);
    EXPECT_EQ(profile.GetInt("AutoUpdate", "CurrentVersion", 0), 106);
}

} // namespace
