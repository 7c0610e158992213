#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "settings/profile.h"
#include "temp_profile.h"

namespace {

// Makes every file larger than the limit impossible to write, as a full disk would; unlike
// permission bits this also stops root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool Active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

TEST(ProfileReplaceTest, AWriteThatCannotFinishLeavesThePreviousFileWhole) {
    TempProfile temp;
    Profile profile(temp.Path());
    ASSERT_TRUE(profile.WriteString("MailSettings", "User name", "ann"));
    ASSERT_TRUE(profile.WriteInt("MailSettings", "Summarysize", 8));
    const std::string before = temp.Read();
    {
        FileSizeLimit limit(before.size() + 16);
        ASSERT_TRUE(limit.Active());
        EXPECT_FALSE(profile.WriteString("MailSettings", "Mail server", std::string(4096, 'x')));
        EXPECT_FALSE(profile.WriteString("MailSettings", "User name", std::string(4096, 'y')));
    }
    EXPECT_EQ(temp.Read(), before);
    EXPECT_EQ(temp.EntryCount(), 1u) << "a temporary file was left behind";
    EXPECT_EQ(profile.GetString("MailSettings", "User name"), "ann");

    EXPECT_TRUE(profile.WriteString("MailSettings", "Mail server", std::string(4096, 'x')));
    EXPECT_EQ(profile.GetString("MailSettings", "Mail server"), std::string(4096, 'x'));
}

TEST(ProfileReplaceTest, AProfileBehindASymbolicLinkStaysALink) {
    TempProfile temp;
    const auto real = temp.Folder() / "dotfiles" / "tarnwick.ini";
    std::filesystem::create_directory(real.parent_path());
    std::ofstream(real) << "[Notification]\nInterval=9\n";
    std::filesystem::create_symlink(real, temp.Path());

    Profile profile(temp.Path());
    ASSERT_TRUE(profile.WriteInt("Notification", "FirstTime", 0));
    EXPECT_TRUE(std::filesystem::is_symlink(temp.Path()));
    EXPECT_EQ(TempProfile::ReadFile(real), "[Notification]\nInterval=9\nFirstTime=0\n");
}

// Sets or clears one environment variable for the life of a test.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvironmentVariable() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(ProfilePathTest, TheDefaultFollowsTheXdgConfigurationFolder) {
    EnvironmentVariable home("HOME", "/home/ann");
    {
        EnvironmentVariable config("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(Profile::DefaultPath(), "/srv/config/tarnwick/tarnwick.ini");
    }
    {
        EnvironmentVariable config("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(Profile::DefaultPath(), "/home/ann/.config/tarnwick/tarnwick.ini");
    }
    EnvironmentVariable config("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(Profile::DefaultPath(), "/home/ann/.config/tarnwick/tarnwick.ini");
}

} // namespace
