#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "about/credit_roll.h"

namespace {

using credits::LineKind;

const char kMarks[4] = {'\t', '\n', '\r', '^'};
const int kHeights[4] = {21, 19, 17, 15};

TEST(CreditText, SplitsAtEverySeparatorAndTheLastCharacterChoosesTheKind) {
    EXPECT_EQ((std::vector<std::string>{"a", "", "b", ""}), credits::SplitCreditText("a||b|", '|'));
    EXPECT_EQ(std::vector<std::string>{"one"}, credits::SplitCreditText("one", '|'));
    const std::vector<std::tuple<std::string, LineKind, std::string>> cases = {
        {"Title\t", LineKind::Class0, "Title"}, {"Big\n", LineKind::Class1, "Big"},
        {"Head\r", LineKind::Class2, "Head"},   {"logo^", LineKind::Picture, "logo"},
        {"Ann", LineKind::Normal, "Ann"},       {"", LineKind::Empty, ""}};
    for (const auto& [line, kind, drawn] : cases) {
        EXPECT_EQ(kind, credits::Classify(line, kMarks)) << line;
        EXPECT_EQ(drawn, line.substr(0, credits::DrawnLength(line, kind))) << line;
    }
}

TEST(CreditRoll, EachLineStartsItsHeightInTicksAfterThePreviousAndTheListRepeats) {
    credits::CreditRoll roll;
    roll.SetLines(credits::SplitCreditText("Title\t|Ann||Head\r|Bo", '|'));
    std::vector<std::pair<int, std::string>> starts;
    std::vector<bool> measured;
    for (int t = 1; t <= 120; ++t) { // as the control rolls: tick, scroll, style the line
        const auto tick = roll.BeginTick();
        roll.Scroll(1);
        const int index = credits::ClassIndex(credits::Classify(roll.CurrentLine(), kMarks));
        if (index >= 0)
            roll.SetLineHeight(kHeights[index]);
        if (tick.lineStarts) {
            starts.emplace_back(t, roll.CurrentLine());
            measured.push_back(tick.measure);
        }
    }
    // 14 empty ticks first; the title holds 21 ticks, a name 15, an empty line the height
    // of the line before it, a heading 17; then the first line comes round again, and the
    // strip is no longer measured.
    const std::vector<std::pair<int, std::string>> expected = {
        {15, "Title\t"}, {36, "Ann"},     {51, ""},    {66, "Head\r"},
        {83, "Bo"},      {98, "Title\t"}, {119, "Ann"}};
    EXPECT_EQ(expected, starts);
    EXPECT_EQ((std::vector<bool>{true, true, true, true, true, false, false}), measured);
}

TEST(CreditRoll, StripIsCentredAndGrowsOnlyUpToTheClientWidth) {
    EXPECT_EQ(79, credits::StripLeft(259, 100));
    int strip = 0;
    for (const auto& [measured, expected] :
         std::vector<std::pair<int, int>>{{120, 120}, {100, 120}, {400, 258}})
        EXPECT_EQ(expected, strip = credits::GrowStrip(strip, measured, 258));
}

TEST(CreditGradient, BandColoursAndBounds) {
    using credits::Rgb;
    const Rgb blue{0, 0, 255};
    const std::vector<std::tuple<int, int, Rgb, Rgb>> cases = {
        {1, 0, blue, {0, 0, 255}},       {1, 255, blue, {0, 0, 0}}, {1, 1, {100, 0, 0}, {99, 0, 0}},
        {2, 255, blue, {255, 255, 255}}, {3, 0, blue, {0, 0, 0}},   {4, 0, blue, {255, 255, 255}}};
    for (const auto& [mode, band, colour, expected] : cases)
        EXPECT_TRUE(credits::BandColour(mode, band, colour) == expected) << mode << "/" << band;
    EXPECT_FALSE(credits::BandColour(5, 10, blue).has_value());

    const int width = 258;
    const std::vector<int> all = credits::BandsToFill(0, width, width);
    ASSERT_EQ(256u, all.size());
    for (size_t i = 1; i < all.size(); ++i) // adjacent, from 0 to the full width
        EXPECT_EQ(credits::BandBounds(all[i - 1], width).right,
                  credits::BandBounds(all[i], width).left);
    EXPECT_EQ(width, credits::BandBounds(255, width).right);
    // One uncovered row in the middle: the start band comes from integer arithmetic.
    EXPECT_EQ((std::vector<int>{198, 199}), credits::BandsToFill(200, 201, width));
}

} // namespace
