#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "about/credit_roll.h"

namespace {

using credits::LineKind;

const char kMarks[4] = {'\t', '\n', '\r', '^'};
const int kHeights[4] = {21, 19, 17, 15};

TEST(CreditText, SplitsAtEverySeparator) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"one", {"one"}}, {"one|", {"one", ""}}, {"one||two", {"one", "", "two"}}, {"|", {"", ""}},
        {"", {""}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(lines, credits::SplitCreditText(text, '|')) << text;
}

TEST(CreditText, LastCharacterChoosesKindAndWhatIsDrawn) {
    struct Case {
        std::string line;
        LineKind kind;
        std::string drawn;
    };
    const std::vector<Case> cases = {
        {"Title\t", LineKind::Class0, "Title"}, {"Big\n", LineKind::Class1, "Big"},
        {"Head\r", LineKind::Class2, "Head"},   {"logo^", LineKind::Picture, "logo"},
        {"Ann", LineKind::Normal, "Ann"},       {"", LineKind::Empty, ""},
        {"\r", LineKind::Class2, ""},           {"a\tb", LineKind::Normal, "a\tb"},
    };
    for (const Case& c : cases) {
        const LineKind kind = credits::Classify(c.line, kMarks);
        EXPECT_EQ(c.kind, kind) << c.line;
        EXPECT_EQ(c.drawn, c.line.substr(0, credits::DrawnLength(c.line, kind))) << c.line;
    }
    // A mark may serve more than one class: class 1 is compared first, then 2, then 0.
    const char same[4] = {'*', '*', '*', '*'};
    EXPECT_EQ(LineKind::Class1, credits::Classify("x*", same));
}

// Rolls `ticks` ticks the way the control does and notes on which tick each line started.
std::vector<std::pair<int, std::string>> Schedule(credits::CreditRoll& roll, int ticks,
                                                  std::vector<bool>* measured = nullptr) {
    std::vector<std::pair<int, std::string>> starts;
    for (int t = 1; t <= ticks; ++t) {
        const auto tick = roll.BeginTick();
        roll.Scroll(1);
        const int index = credits::ClassIndex(credits::Classify(roll.CurrentLine(), kMarks));
        if (index >= 0)
            roll.SetLineHeight(kHeights[index]);
        if (tick.lineStarts) {
            starts.emplace_back(t, roll.CurrentLine());
            if (measured != nullptr)
                measured->push_back(tick.measure);
        }
    }
    return starts;
}

TEST(CreditRoll, EachLineStartsItsHeightInTicksAfterThePreviousAndTheListRepeats) {
    credits::CreditRoll roll;
    roll.SetLines(credits::SplitCreditText("Title\t|Ann||Head\r|Bo", '|'));
    std::vector<bool> measured;
    const auto starts = Schedule(roll, 120, &measured);
    // 14 empty ticks first; the title holds 21 ticks, a name 15, an empty line the height
    // of the line before it, a heading 17; then the first line comes round again.
    const std::vector<std::pair<int, std::string>> expected = {
        {15, "Title\t"}, {36, "Ann"},     {51, ""},    {66, "Head\r"},
        {83, "Bo"},      {98, "Title\t"}, {119, "Ann"}};
    EXPECT_EQ(expected, starts);
    EXPECT_EQ((std::vector<bool>{true, true, true, true, true, false, false}), measured);
    EXPECT_FALSE(roll.FirstPass());
}

TEST(CreditRoll, PictureHoldsTheScheduleUntilItHasScrolledInWhole) {
    credits::CreditRoll roll;
    roll.SetLines({"logo^", "Ann"});
    int tick = 0;
    for (; tick < 15; ++tick)
        roll.BeginTick();
    ASSERT_EQ("logo^", roll.CurrentLine());
    roll.SetPictureScrolling(true); // the control loaded a 30-row picture
    for (int row = 1; row <= 30; ++row) {
        EXPECT_FALSE(roll.BeginTick().lineStarts);
        roll.Scroll(1);
    }
    EXPECT_EQ(30, roll.LinePixels());
    roll.EndPicture();
    EXPECT_EQ("", roll.CurrentLine());
    int gap = 0;
    while (!roll.BeginTick().lineStarts)
        ++gap;
    EXPECT_EQ(14, gap); // the next line starts one line height (15) after the picture
    EXPECT_EQ("Ann", roll.CurrentLine());
}

TEST(CreditRoll, StripIsCentredAndGrowsOnlyUpToTheClientWidth) {
    EXPECT_EQ(79, credits::StripLeft(259, 100));
    EXPECT_EQ(0, credits::StripLeft(258, 258));
    const int client = 258;
    int strip = 0;
    for (const auto& [measured, expected] :
         std::vector<std::pair<int, int>>{{120, 120}, {100, 120}, {400, 258}, {10, 258}})
        EXPECT_EQ(expected, strip = credits::GrowStrip(strip, measured, client));
}

TEST(CreditGradient, BandColoursForEachMode) {
    using credits::Rgb;
    const Rgb blue{0, 0, 255};
    struct Case {
        int mode, band;
        Rgb colour, expected;
    };
    const std::vector<Case> cases = {
        {1, 0, blue, {0, 0, 255}},       {1, 255, blue, {0, 0, 0}},
        {1, 128, blue, {0, 0, 127}},     {1, 1, {100, 0, 0}, {99, 0, 0}},
        {2, 255, blue, {255, 255, 255}}, {2, 0, blue, {0, 0, 255}},
        {3, 0, blue, {0, 0, 0}},         {3, 255, blue, {0, 0, 255}},
        {4, 0, blue, {255, 255, 255}},   {4, 255, blue, {0, 0, 255}},
    };
    for (const Case& c : cases) {
        const auto colour = credits::BandColour(c.mode, c.band, c.colour);
        ASSERT_TRUE(colour.has_value());
        EXPECT_TRUE(*colour == c.expected) << "mode " << c.mode << " band " << c.band;
    }
    EXPECT_FALSE(credits::BandColour(0, 10, blue).has_value());
    EXPECT_FALSE(credits::BandColour(5, 10, blue).has_value());
}

TEST(CreditGradient, BandsCoverTheWidthAndAPartStartsAtItsBand) {
    const int width = 258;
    const std::vector<int> all = credits::BandsToFill(0, width, width);
    ASSERT_EQ(256u, all.size());
    EXPECT_EQ(0, credits::BandBounds(all.front(), width).left);
    EXPECT_EQ(width, credits::BandBounds(all.back(), width).right);
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_EQ(credits::BandBounds(all[i - 1], width).right,
                  credits::BandBounds(all[i], width).left);
    // One uncovered row in the middle: the start band comes from integer arithmetic.
    EXPECT_EQ((std::vector<int>{198, 199}), credits::BandsToFill(200, 201, width));
}

} // namespace
