// Where the main window comes back after a start, and the stored form of what it remembers.
#include "mainwnd/placement.h"

#include <gtest/gtest.h>

using placement::Rect;

TEST(Placement, AWindowOffEveryMonitorComesBackInsideTheNearestWorkAreaWithItsSize) {
    // Two monitors side by side; the right one starts at 1920 and has a taskbar at its foot.
    const std::vector<Rect> areas = {{0, 0, 1920, 1040}, {1920, 0, 3200, 984}};

    // Enough of it on a monitor: left where the user put it, even partly off.
    EXPECT_EQ((Rect{-200, 100, 300, 400}), placement::KeepReachable({-200, 100, 300, 400}, areas));
    EXPECT_EQ((Rect{3000, 900, 3500, 1200}),
              placement::KeepReachable({3000, 900, 3500, 1200}, areas));

    // The right monitor unplugged: a place on it comes back on the left one, whole.
    EXPECT_EQ((Rect{1420, 200, 1920, 500}),
              placement::KeepReachable({2400, 200, 2900, 500}, {areas[0]}));
    // Below the right monitor's work area (a smaller resolution): into it, above the taskbar.
    EXPECT_EQ((Rect{2500, 684, 3000, 984}),
              placement::KeepReachable({2500, 1500, 3000, 1800}, areas));
    // Only a sliver showing is as good as lost.
    EXPECT_EQ((Rect{0, 300, 500, 600}), placement::KeepReachable({-490, 300, 10, 600}, areas));
    // Far up and left: the top-left corner of the nearest area.
    EXPECT_EQ((Rect{0, 0, 500, 300}),
              placement::KeepReachable({-5000, -5000, -4500, -4700}, areas));
    // Larger than the area: its top-left corner stays reachable.
    EXPECT_EQ((Rect{1920, 0, 3920, 1200}),
              placement::KeepReachable({5000, 100, 7000, 1300}, areas));
    // No monitor known: nothing to go by.
    EXPECT_EQ((Rect{-9000, 0, -8500, 300}), placement::KeepReachable({-9000, 0, -8500, 300}, {}));
}

TEST(Placement, StoredListsReadBackAndAnythingDamagedIsRefused) {
    std::vector<int> values;
    ASSERT_TRUE(
        placement::ParseInts(placement::FormatInts({-1200, 40}), 2, -100000, 100000, values));
    EXPECT_EQ((std::vector<int>{-1200, 40}), values);
    ASSERT_TRUE(placement::ParseInts("90,143,60", 3, 0, 100000, values));
    EXPECT_EQ((std::vector<int>{90, 143, 60}), values);

    const std::vector<int> kept = values;
    for (const char* bad : {"", "90,143", "90,143,60,1", "90,,60", "90,x,60", "90,143,60x",
                            "90,-1,60", "90,143,999999", " 90,143,60", "90,143,"})
        EXPECT_FALSE(placement::ParseInts(bad, 3, 0, 100000, values)) << bad;
    EXPECT_EQ(kept, values) << "a refused text leaves the values alone";
}
