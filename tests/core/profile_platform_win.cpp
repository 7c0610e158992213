#include <string>
#include <windows.h>

#include <gtest/gtest.h>

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

TEST(ProfilePath, TheDefaultLivesInAppDataAndItsFolderIsMadeOnFirstWrite) {
    TempProfile temp;
    char old[MAX_PATH] = "";
    ASSERT_GT(::GetEnvironmentVariableA("APPDATA", old, MAX_PATH), 0u);
    ASSERT_TRUE(::SetEnvironmentVariableA("APPDATA", temp.Folder().string().c_str()));
    const std::string path = Profile::DefaultPath();
    const bool written = Profile(path).WriteInt("AutoUpdate", "CurrentVersion", 106);
    ::SetEnvironmentVariableA("APPDATA", old);
    EXPECT_EQ(path, temp.Folder().string() + "\\Tarnwick\\tarnwick.ini");
    EXPECT_TRUE(written);
    EXPECT_EQ(Profile(path).GetInt("AutoUpdate", "CurrentVersion", 0), 106);
}

} // namespace
