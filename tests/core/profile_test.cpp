#include <string>

#include <gtest/gtest.h>

#include "settings/profile.h"
#include "temp_profile.h"

using namespace std::string_literals;

namespace {

TEST(Profile, MissingFileSectionOrKeyGivesTheDefaultAndIntegersFollowAtoi) {
    TempProfile temp;
    Profile profile(temp.Path());
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 5), 5);
    EXPECT_EQ(profile.GetString("Notification", "EmailClient", "none"), "none");
    temp.Write("[Other]\nInterval=9\n[S]\nA= 42abc\nB=-7\nC=abc\nD=\nE=+3\nF=99999999999\n"
               "G=-99999999999\nH=\"12\"\n");
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 5), 5);
    EXPECT_EQ(profile.GetString("S", "Missing", "x"), "x");
    std::string ints;
    for (const char* key : {"A", "B", "C", "D", "E", "F", "G", "H"}) {
        ints += std::to_string(profile.GetInt("S", key, 1)) + " ";
    }
    EXPECT_EQ(ints, "42 -7 0 0 3 2147483647 -2147483648 12 ");
}

// Any value's round trip, and that no temporary file stays, the profile fuzzer checks.
TEST(Profile, TheFolderIsMadeOnTheFirstWriteAndPlainValuesStayReadable) {
    TempProfile temp;
    const auto folder = temp.Folder() / "a" / "b";
    Profile profile((folder / "tarnwick.ini").string());
    ASSERT_TRUE(profile.WriteString("Notification", "EmailClient", "C:\\Mail\\x41.exe -n"));
    const std::string text = TempProfile::ReadFile(folder / "tarnwick.ini");
    EXPECT_NE(text.find("\nEmailClient=C:\\Mail\\x41.exe -n"), std::string::npos) << text;
    EXPECT_EQ(profile.GetString("Notification", "EmailClient"), "C:\\Mail\\x41.exe -n");
}

TEST(Profile, LinesItDoesNotKnowStayAndTheFirstSectionHoldingTheKeyWins) {
    TempProfile temp;
    temp.Write("; by hand\r\n[notification]\r\n# note\r\nUnknown=kept  \r\n  INTERVAL = 5 \r\n"
               "\r\njunk\r\n[T]\r\nA=5\r\n[Notification]\r\nInterval=9\r\nB=3");
    Profile profile(temp.Path());
    EXPECT_EQ(profile.GetInt("Notification", "Interval", 0), 5); // names ignore case
    EXPECT_EQ(profile.GetInt("Notification", "B", 0), 3);
    ASSERT_TRUE(profile.WriteInt("NOTIFICATION", "interval", 7));
    ASSERT_TRUE(profile.WriteInt("Notification", "B", 30));
    ASSERT_TRUE(profile.WriteString("Notification", "EmailClient", "mutt"));
    ASSERT_TRUE(profile.WriteInt("New", "Key", 2));
    EXPECT_EQ(temp.Read(), "; by hand\r\n[notification]\r\n# note\r\nUnknown=kept  \r\n"
                           "  INTERVAL =7\r\nEmailClient=mutt\r\n\r\njunk\r\n[T]\r\nA=5\r\n"
                           "[Notification]\r\nInterval=9\r\nB=30\r\n[New]\r\nKey=2\r\n");
}

TEST(Profile, BareCrsEndingTheFileAreALineEndAsCrLfAndLfAre) {
    TempProfile temp;
    Profile profile(temp.Path());
    // Each last line's end, and what it is once a line follows: bare CRs become the
    // file's own line end, as no reader would break a line there.
    const std::pair<const char*, const char*> ends[] = {
        {"\r\n", "\r\n"}, {"\n", "\n"}, {"\r", "\r\n"}, {"\r\r\r", "\r\n"}};
    for (const auto& [end, followed] : ends) {
        SCOPED_TRACE(testing::PrintToString(std::string(end)));
        temp.Write("[Notification]\r\nEmailClient=mutt"s + end);
        EXPECT_EQ(profile.GetString("Notification", "EmailClient"), "mutt");
        ASSERT_TRUE(profile.WriteInt("Notification", "FirstTime", 0));
        EXPECT_EQ(profile.GetString("Notification", "EmailClient"), "mutt");
        EXPECT_EQ(temp.Read(),
                  "[Notification]\r\nEmailClient=mutt"s + followed + "FirstTime=0\r\n");
    }
}

// Files of any bytes the profile fuzzer makes; these are beyond its sizes or pin a reading.
TEST(Profile, HostileFilesLoadAndCanBeWritten) {
    const std::string huge(4 * 1024 * 1024, 'x');
    const std::string hugeLines = "[Notification]\nInterval=" + huge + "\n" + huge + "=" + huge;
    // Each file with the Interval it holds, -1: any.
    const std::pair<std::string, int> files[] = {
        {hugeLines, -1},
        {"[" + huge, 5},
        {"[]\n=\n==\n[\n]\n\"\n=\"\\x\n[Notification]]]\nInterval=\"\\", 0},
        {"[Notification\nInterval=8\n[Notification]\nInterval=9\n", 8},
        {"\xEF\xBB\xBF[Notification]\r\nInterval=6\r", 6},
    };
    TempProfile temp;
    Profile profile(temp.Path());
    for (const auto& [file, interval] : files) {
        SCOPED_TRACE(file.substr(0, 40));
        temp.Write(file);
        const int read = profile.GetInt("Notification", "Interval", 5);
        EXPECT_TRUE(interval < 0 || read == interval) << read;
        ASSERT_TRUE(profile.WriteString("MailSettings", "RegKey", "\0pw "s));
        EXPECT_EQ(profile.GetString("MailSettings", "RegKey"), "\0pw "s);
        EXPECT_NE(temp.Read().find(file.substr(0, 1000)), std::string::npos) << "contents lost";
    }
}

TEST(Profile, AWriteThatCannotHappenReportsFalseAndChangesNothing) {
    TempProfile temp;
    const auto blocker = temp.Folder() / "blocker"; // a file where the folder should be
    std::ofstream(blocker) << "not a folder";
    Profile behindFile((blocker / "tarnwick.ini").string());
    EXPECT_FALSE(behindFile.WriteInt("Notification", "Interval", 7));
    EXPECT_EQ(TempProfile::ReadFile(blocker), "not a folder");

    const auto folder = temp.Folder() / "folder.ini"; // unreadable: must not be replaced
    std::filesystem::create_directory(folder);
    Profile onFolder(folder.string());
    EXPECT_FALSE(onFolder.WriteInt("Notification", "Interval", 7));

    Profile profile(temp.Path());
    ASSERT_TRUE(profile.WriteInt("S", "A", 1));
    const std::string before = temp.Read();
    const std::pair<const char*, const char*> invalid[] = {
        {"S", "A=B"}, {"S]", "A"}, {"S", "A\nB"}, {"", "A"}, {"S", "[A"}};
    for (const auto& [section, key] : invalid) {
        EXPECT_FALSE(profile.WriteInt(section, key, 2)) << section << " " << key;
    }
    EXPECT_EQ(temp.Read(), before);

    // A batch is stored whole or not at all: one bad name keeps its good values out too.
    ProfileBatch batch(profile);
    batch.WriteInt("S", "A", 3);
    batch.WriteString("T", "B", "kept out");
    batch.WriteInt("S", "A=B", 4);
    EXPECT_FALSE(batch.Commit());
    EXPECT_EQ(temp.Read(), before);
}

} // namespace
