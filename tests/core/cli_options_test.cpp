#include <gtest/gtest.h>

#include "cli/options.h"

namespace {

struct Parsed {
    bool ok;
    cli::Options options;
    std::string error;
};

Parsed Parse(const std::vector<std::string>& args) {
    Parsed p;
    p.ok = cli::ParseArguments(args, p.options, p.error);
    return p;
}

TEST(CliOptions, NoArgumentsIsATextCheckWithTheDefaultProfile) {
    const Parsed p = Parse({});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.mode, cli::Mode::Check);
    EXPECT_FALSE(p.options.json);
    EXPECT_TRUE(p.options.profile.empty());
}

TEST(CliOptions, ValuesInBothSpellings) {
    Parsed p = Parse({"--profile", "/tmp/a b.ini", "--json"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.profile, "/tmp/a b.ini");
    EXPECT_TRUE(p.options.json);

    p = Parse({"--setup", "--profile=x.ini", "--server=127.0.0.1:1110", "--user", "me",
               "--password-stdin"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.mode, cli::Mode::Setup);
    EXPECT_EQ(p.options.profile, "x.ini");
    EXPECT_TRUE(p.options.hasServer);
    EXPECT_EQ(p.options.server, "127.0.0.1:1110");
    EXPECT_TRUE(p.options.hasUser);
    EXPECT_EQ(p.options.user, "me");
    EXPECT_TRUE(p.options.passwordStdin);
}

TEST(CliOptions, SetupWithoutValuesAsksForThem) {
    const Parsed p = Parse({"--setup"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_FALSE(p.options.hasServer);
    EXPECT_FALSE(p.options.hasUser);
    EXPECT_FALSE(p.options.passwordStdin);
}

TEST(CliOptions, AnEmptyUserIsStillGiven) {
    const Parsed p = Parse({"--setup", "--user="});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.options.hasUser);
    EXPECT_EQ(p.options.user, "");
}

TEST(CliOptions, HelpWinsOverOtherValidOptions) {
    EXPECT_EQ(Parse({"--json", "--help"}).options.mode, cli::Mode::Help);
    EXPECT_EQ(Parse({"-h"}).options.mode, cli::Mode::Help);
}

TEST(CliOptions, BadCombinationsAndWordsAreRefused) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},           {"check"},        {"-"},
        {"--profile"},         {"--profile="},   {"--setup", "--server"},
        {"--server", "host"},  {"--user", "me"}, {"--password-stdin"},
        {"--setup", "--json"}, {"--jsonx"},
    };
    for (const auto& args : bad) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok) << args[0];
        EXPECT_FALSE(p.error.empty()) << args[0];
    }
}

TEST(CliOptions, APasswordOnTheCommandLineIsRefusedWithoutRepeatingIt) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--setup", "--password", "hunter2"}, {"--setup", "--password=hunter2"}}) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok);
        EXPECT_NE(p.error.find("--password-stdin"), std::string::npos) << p.error;
        EXPECT_EQ(p.error.find("hunter2"), std::string::npos) << p.error;
    }
}

TEST(CliOptions, ParsingAgainStartsFromScratch) {
    cli::Options options;
    std::string error;
    ASSERT_TRUE(cli::ParseArguments({"--json", "--profile", "a"}, options, error));
    ASSERT_TRUE(cli::ParseArguments({}, options, error));
    EXPECT_FALSE(options.json);
    EXPECT_TRUE(options.profile.empty());
}

} // namespace
