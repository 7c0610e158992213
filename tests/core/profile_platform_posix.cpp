#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "settings/account.h"
#include "settings/configuration.h"
#include "settings/profile.h"
#include "temp_profile.h"
#include "update/auto_update_client.h"

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

// Counts the times a new profile file took the old one's place in the watched folder.
struct ReplaceCounter {
    explicit ReplaceCounter(const TempProfile& temp) : fd(inotify_init1(IN_NONBLOCK)) {
        // The temporary files' own events keep the system from merging repeated ones.
        inotify_add_watch(fd, temp.Folder().c_str(), IN_MOVED_FROM | IN_MOVED_TO);
    }
    ~ReplaceCounter() { close(fd); }
    ReplaceCounter(const ReplaceCounter&) = delete;
    ReplaceCounter& operator=(const ReplaceCounter&) = delete;

    int Take() {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if ((event->mask & IN_MOVED_TO) != 0 && event->len > 0 &&
                    std::string(event->name) == "tarnwick.ini")
                    ++count;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return count;
    }
    const int fd;
};

TEST(ProfileReplace, EverySaveOfARecordIsOneReplaceOfTheFile) {
    TempProfile temp;
    ReplaceCounter replaces(temp);
    CConfiguration config;
    config.Load();
    config.m_EmailClient = "mail.exe";
    config.Save();
    EXPECT_EQ(replaces.Take(), 1) << "the configuration";

    Account account;
    account.Set("ann", "pw", "pop.example.com", 12, 0);
    ASSERT_TRUE(account.Save());
    EXPECT_EQ(replaces.Take(), 1) << "the account";

    // The settings sheet's OK: both records in one batch.
    account.m_UserName = "bob";
    config.m_Interval = 17;
    ProfileBatch batch(Profile::Application());
    account.Save(batch);
    config.Save(batch);
    EXPECT_EQ(replaces.Take(), 0) << "nothing is stored before the commit";
    ASSERT_TRUE(batch.Commit());
    EXPECT_EQ(replaces.Take(), 1) << "the sheet's two records";

    SeedUpdateSettings();
    EXPECT_EQ(replaces.Take(), 1) << "the update settings";
    CAutoUpdateClient client(0); // counts a chance; the interval of 3 is not reached
    EXPECT_EQ(replaces.Take(), 1) << "a chance of the update check";

    // The sheet's batch stored both records.
    EXPECT_EQ(Profile::Application().GetString("MailSettings", "User name"), "bob");
    EXPECT_EQ(Profile::Application().GetInt("Notification", "Interval", 0), 17);
}

} // namespace
