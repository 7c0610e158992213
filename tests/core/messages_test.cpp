#include <gtest/gtest.h>

#include "pop3/messages.h"

namespace {

TEST(Messages, StoresEntriesInOrderWithTheSizeAsText) {
    Messages list(2);
    EXPECT_EQ(list.GetCount(), 0);
    list.Add("Ann", "Hi", 3, "line\r\n.\r\n");
    list.Add("Bob", "", 120, "");
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetFrom(0), "Ann");
    EXPECT_EQ(list.GetSubject(0), "Hi");
    EXPECT_EQ(list.GetSize(0), "3");
    EXPECT_EQ(list.GetSummary(0), "line\r\n.\r\n");
    EXPECT_EQ(list.GetFrom(1), "Bob");
    EXPECT_EQ(list.GetSize(1), "120");
}

TEST(Messages, AddOnAFullRecordChangesNothing) {
    Messages list(2);
    list.Add("Ann", "one", 1, "a");
    list.Add("Bob", "two", 2, "b");
    list.Add("Cid", "three", 3, "c");
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetFrom(1), "Bob");
    EXPECT_EQ(list.GetFrom(2), "");
    EXPECT_EQ(list.GetSubject(2), "");
    EXPECT_EQ(list.GetSize(2), "");
}

TEST(Messages, IndexesOutsideTheFilledEntriesGiveEmptyText) {
    Messages list(3);
    list.Add("Ann", "one", 1, "a");
    EXPECT_EQ(list.GetFrom(-1), "");
    EXPECT_EQ(list.GetSummary(-1), "");
    EXPECT_EQ(list.GetFrom(1), ""); // within capacity, never added
    EXPECT_EQ(list.GetSize(1), "");
}

} // namespace
