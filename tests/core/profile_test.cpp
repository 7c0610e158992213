#include <climits>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "settings/profile.h"
#include "temp_profile.h"

using namespace std::string_literals;

namespace {

// Every byte but NUL, then NUL in the middle, blanks at both ends and the characters the
// file format itself uses.
std::vector<std::string> AwkwardValues() {
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte += static_cast<char>(c);
    return {
        everyByte,
        std::string("a\0b", 3),
        std::string(1, '\0'),
        "  leading and trailing  ",
        "\ttab\t",
        " ",
        "\"quoted\"",
        "\"",
        "\\x41\\n\\\"",
        "line\r\nbreak\n",
        "key=value=more",
        "[NotASection]",
        "; not a comment",
        "caf\xE9 \xFF\x80",
        "",
    };
}

TEST(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    TempProfile temp;
    Profile profile(temp.Path());
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 5), 5);
    EXPECT_EQ(profile.GetString("Notification", "EmailClient", "none"), "none");
    EXPECT_EQ(profile.GetString("Notification", "EmailClient"), "");

    temp.Write("");
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 5), 5);

    temp.Write("[Other]\nInterval=9\n[Notification]\nFirstTime=0\n");
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 5), 5);
    EXPECT_EQ(profile.GetString("Missing", "FirstTime", "x"), "x");
    EXPECT_EQ(profile.GetInt("Notification", "FirstTime", 1), 0);
}

TEST(ProfileTest, ValuesRoundTripAndTheFolderIsCreated) {
    TempProfile temp;
    Profile profile((temp.Folder() / "a" / "b" / "tarnwick.ini").string());
    for (const int value : {0, 1, -1, 106, INT_MAX, INT_MIN}) {
        ASSERT_TRUE(profile.WriteInt("AutoUpdate", "CurrentVersion", value));
        EXPECT_EQ(profile.GetInt("AutoUpdate", "CurrentVersion", 7), value);
    }
    for (const std::string& value : AwkwardValues()) {
        ASSERT_TRUE(profile.WriteString("MailSettings", "RegKey", value));
        EXPECT_EQ(profile.GetString("MailSettings", "RegKey", "default"), value);
    }
    // Each value once more, now side by side with the others in one file.
    const auto values = AwkwardValues();
    for (std::size_t i = 0; i < values.size(); ++i)
        ASSERT_TRUE(profile.WriteString("Values", "Key" + std::to_string(i), values[i]));
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(profile.GetString("Values", "Key" + std::to_string(i), "default"), values[i])
            << "value " << i;
}

TEST(ProfileTest, PlainValuesStayReadableInTheFile) {
    TempProfile temp;
    Profile profile(temp.Path());
    ASSERT_TRUE(profile.WriteString("Notification", "EmailClient", "C:\\Mail\\x41.exe -n"));
    ASSERT_TRUE(profile.WriteInt("Notification", "Interval", 12));
    const std::string text = temp.Read();
    EXPECT_NE(text.find("EmailClient=C:\\Mail\\x41.exe -n"), std::string::npos) << text;
    EXPECT_NE(text.find("Interval=12"), std::string::npos) << text;
    EXPECT_EQ(text.find("[Notification]"), 0u) << text;
}

TEST(ProfileTest, IntegersAreReadByAtoiRules) {
    TempProfile temp;
    temp.Write("[S]\nA= 42abc\nB=-7\nC=abc\nD=\nE=+3\nF=99999999999\nG=-99999999999\nH=\"12\"\n");
    Profile profile(temp.Path());
    EXPECT_EQ(profile.GetInt("S", "A", 1), 42);
    EXPECT_EQ(profile.GetInt("S", "B", 1), -7);
    EXPECT_EQ(profile.GetInt("S", "C", 1), 0);
    EXPECT_EQ(profile.GetInt("S", "D", 1), 0);
    EXPECT_EQ(profile.GetInt("S", "E", 1), 3);
    EXPECT_EQ(profile.GetInt("S", "F", 1), INT_MAX);
    EXPECT_EQ(profile.GetInt("S", "G", 1), INT_MIN);
    EXPECT_EQ(profile.GetInt("S", "H", 1), 12);
}

TEST(ProfileTest, TheSameKeyInTwoSectionsHoldsTwoValues) {
    TempProfile temp;
    Profile profile(temp.Path());
    ASSERT_TRUE(profile.WriteInt("Notification", "Interval", 10));
    ASSERT_TRUE(profile.WriteInt("AutoUpdate", "Interval", 3));
    ASSERT_TRUE(profile.WriteInt("Notification", "Interval", 11));
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 0), 11);
    EXPECT_EQ(profile.GetInt("AutoUpdate", "Interval", 0), 3);
    ASSERT_TRUE(profile.WriteInt("AutoUpdate", "Interval", 4));
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 0), 11);
    EXPECT_EQ(profile.GetInt("AutoUpdate", "Interval", 0), 4);
}

TEST(ProfileTest, NamesMatchWithoutRegardToCase) {
    TempProfile temp;
    temp.Write("[mailsettings]\n  mail SERVER = pop.example.com  \n");
    Profile profile(temp.Path());
    EXPECT_EQ(profile.GetString("MailSettings", "Mail server"), "pop.example.com");
    ASSERT_TRUE(profile.WriteString("MAILSETTINGS", "mail server", "other"));
    // The entry is changed in place, spelt as the file spells it.
    EXPECT_EQ(temp.Read(), "[mailsettings]\n  mail SERVER =other\n");
}

TEST(ProfileTest, LinesItDoesNotKnowAreKept) {
    TempProfile temp;
    const std::string before = "; written by hand\r\n"
                               "[Notification]\r\n"
                               "# a note\r\n"
                               "Unknown=kept as is  \r\n"
                               "Interval=5\r\n"
                               "\r\n"
                               "junk without equals\r\n"
                               "[Elsewhere]\r\n"
                               "Interval=9";
    temp.Write(before);
    Profile profile(temp.Path());
    ASSERT_TRUE(profile.WriteInt("Notification", "Interval", 7));
    ASSERT_TRUE(profile.WriteString("Notification", "EmailClient", "mutt"));
    ASSERT_TRUE(profile.WriteInt("Elsewhere", "Added", 1));
    ASSERT_TRUE(profile.WriteInt("New", "Key", 2));
    EXPECT_EQ(temp.Read(), "; written by hand\r\n"
                           "[Notification]\r\n"
                           "# a note\r\n"
                           "Unknown=kept as is  \r\n"
                           "Interval=7\r\n"
                           "EmailClient=mutt\r\n"
                           "\r\n"
                           "junk without equals\r\n"
                           "[Elsewhere]\r\n"
                           "Interval=9\r\n"
                           "Added=1\r\n"
                           "[New]\r\n"
                           "Key=2\r\n");
}

TEST(ProfileTest, TheFirstDuplicateSectionHoldingTheKeyWins) {
    TempProfile temp;
    temp.Write("[S]\nA=1\n[T]\nA=5\n[S]\nA=2\nB=3\n");
    Profile profile(temp.Path());
    EXPECT_EQ(profile.GetInt("S", "A", 0), 1);
    EXPECT_EQ(profile.GetInt("S", "B", 0), 3);
    ASSERT_TRUE(profile.WriteInt("S", "A", 10));
    ASSERT_TRUE(profile.WriteInt("S", "B", 30));
    ASSERT_TRUE(profile.WriteInt("S", "C", 40));
    EXPECT_EQ(profile.GetInt("S", "A", 0), 10);
    EXPECT_EQ(profile.GetInt("S", "B", 0), 30);
    EXPECT_EQ(profile.GetInt("S", "C", 0), 40);
    EXPECT_EQ(temp.Read(), "[S]\nA=10\nC=40\n[T]\nA=5\n[S]\nA=2\nB=30\n");
}

TEST(ProfileTest, HostileFilesLoadAndCanBeWritten) {
    TempProfile temp;
    std::mt19937 random(12345);
    std::string junk;
    for (int i = 0; i < 200000; ++i)
        junk += static_cast<char>(random() & 0xff);
    const std::string hugeLine(4 * 1024 * 1024, 'x');
    const std::vector<std::string> files = {
        junk,
        "[Notification\0]\nInterval=\0\0\n\0\0\0"s,
        "[Notification]\nInterval=" + hugeLine + "\n" + hugeLine + "=" + hugeLine + "\n",
        "[" + hugeLine,
        "[Notification\nInterval=8\n[Notification]\nInterval=9\n",
        "[]\n=\n==\n[\n]\n\"\n=\"\\x\n[Notification]]]\nInterval=\"\\",
        "\xEF\xBB\xBF[Notification]\r\nInterval=6\r",
        "\r\r\r\n\n\n[Notification]\n\n\nInterval=\"unterminated \\x4",
    };
    Profile profile(temp.Path());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE("file " + std::to_string(i));
        temp.Write(files[i]);
        profile.GetInt("Notification", "Interval", 5);
        profile.GetString("Notification", "Interval", "x");
        profile.GetString("MailSettings", "RegKey");
        ASSERT_TRUE(profile.WriteString("MailSettings", "RegKey", std::string("\0pw ", 4)));
        EXPECT_EQ(profile.GetString("MailSettings", "RegKey"), std::string("\0pw ", 4));
        EXPECT_NE(temp.Read().find(files[i].substr(0, 1000)), std::string::npos)
            << "the old contents were lost";
    }
    // Spot checks of what the odd files mean.
    temp.Write(files[4]);
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 5), 8);
    temp.Write(files[6]);
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 5), 6);
    temp.Write(files[7]);
    EXPECT_EQ(profile.GetString("Notification", "Interval"), "unterminated \\x4");
}

TEST(ProfileTest, AFailedWriteReportsFalseAndChangesNothing) {
    TempProfile temp;
    // The profile's folder is a file: nothing can be created there.
    const auto blocker = temp.Folder() / "blocker";
    std::ofstream(blocker) << "not a folder";
    Profile behindFile((blocker / "tarnwick.ini").string());
    EXPECT_FALSE(behindFile.WriteInt("Notification", "Interval", 7));
    EXPECT_EQ(behindFile.GetInt("Notification", "Interval", 5), 5);
    EXPECT_EQ(TempProfile::ReadFile(blocker), "not a folder");

    // The profile's path is a folder: unreadable, so it must not be replaced.
    const auto folder = temp.Folder() / "folder.ini";
    std::filesystem::create_directory(folder);
    std::ofstream(folder / "inside") << "kept";
    Profile onFolder(folder.string());
    EXPECT_FALSE(onFolder.WriteInt("Notification", "Interval", 7));
    EXPECT_EQ(onFolder.GetInt("Notification", "Interval", 5), 5);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(TempProfile::ReadFile(folder / "inside"), "kept");

    // Invalid names are refused before the file is touched.
    Profile profile(temp.Path());
    ASSERT_TRUE(profile.WriteInt("S", "A", 1));
    const std::string before = temp.Read();
    EXPECT_FALSE(profile.WriteInt("S", "A=B", 2));
    EXPECT_FALSE(profile.WriteInt("S]", "A", 2));
    EXPECT_FALSE(profile.WriteInt("S", "A\nB", 2));
    EXPECT_FALSE(profile.WriteInt("", "A", 2));
    EXPECT_EQ(temp.Read(), before);
}

TEST(ProfileTest, SuccessfulWritesLeaveNoTemporaryFiles) {
    TempProfile temp;
    Profile profile(temp.Path());
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(profile.WriteInt("S", "K" + std::to_string(i), i));
    EXPECT_EQ(temp.EntryCount(), 1u);
}

TEST(ProfileTest, ConcurrentWritersLoseNothing) {
    TempProfile temp;
    Profile profile(temp.Path());
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&profile, t] {
            for (int i = 0; i < 10; ++i)
                profile.WriteInt("T" + std::to_string(t), "K" + std::to_string(i), t * 100 + i);
        });
    for (auto& writer : writers)
        writer.join();
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(profile.GetInt("T" + std::to_string(t), "K" + std::to_string(i), -1),
                      t * 100 + i);
}

TEST(ProfileTest, UseFileRedirectsTheApplicationProfile) {
    TempProfile temp;
    EXPECT_EQ(Profile::Application().Path(), temp.Path());
    ASSERT_TRUE(Profile::Application().WriteInt("AutoUpdate", "CurrentVersion", 106));
    EXPECT_NE(temp.Read().find("CurrentVersion=106"), std::string::npos);
}

} // namespace
