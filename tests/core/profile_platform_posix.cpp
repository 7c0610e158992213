#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

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
    // A file size limit fails the write as a full disk would, and stops root too.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = before.size() + 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = profile.WriteString("MailSettings", "User name", std::string(4096, 'y'));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(temp.Read(), before);
    EXPECT_EQ(temp.EntryCount(), 1) << "a temporary file was left behind";
}

TEST(ProfileReplace, AProfileBehindASymbolicLinkStaysALink) {
    TempProfile temp;
    const auto real = temp.Folder() / "real.ini";
    std::ofstream(real) << "[Notification]\nInterval=9\n";
    std::filesystem::create_symlink(real, temp.Path());
    ASSERT_TRUE(Profile(temp.Path()).WriteInt("Notification", "FirstTime", 0));
    EXPECT_TRUE(std::filesystem::is_symlink(temp.Path()));
    EXPECT_EQ(TempProfile::ReadFile(real), "[Notification]\nInterval=9\nFirstTime=0\n");
}

// Without the system's data protection the password stays in the scrambled form every
// older profile has, so the file itself must be its owner's alone.
TEST(ProfileReplace, ThePasswordIsScrambledInAFileOnlyItsOwnerReads) {
    TempProfile temp;
    Account account;
    account.Set("ann", "s3cret", "pop.example.com", 8, 1);
    ASSERT_TRUE(account.Save());
    EXPECT_EQ(Profile::Application().GetString("MailSettings", "RegKey"),
              Account::Scramble("s3cret", 23));
    EXPECT_EQ(std::filesystem::status(temp.Path()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

} // namespace
