#include "api/ct_ring.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavlin::api {
namespace {

int KeyOf(const int& v) {
    return v;
}

// Walks the circle from the cursor, restoring nothing: only for inspecting small rings.
std::vector<int> Members(CTRing<int>& ring) {
    std::vector<int> seen;
    for (int i = 0; i < ring.Count(); ++i) {
        seen.push_back(ring.Current());
        ring.Find(-12345, KeyOf);  // a miss moves the cursor to the node before it started
    }
    return seen;
}

TEST(CTRingTest, InsertGoesBeforeCurrentAndBecomesCurrent) {
    CTRing<int> ring;
    EXPECT_EQ(ring.Find(1, KeyOf), 0);
    ring.Insert(1);
    EXPECT_EQ(ring.Count(), 1);
    EXPECT_EQ(ring.Current(), 1);
    ring.Insert(2);  // circle: 2 1
    EXPECT_EQ(ring.Current(), 2);
    ring.Insert(3);  // circle: 3 2 1
    EXPECT_EQ(ring.Current(), 3);
    EXPECT_EQ(ring.Count(), 3);
}

TEST(CTRingTest, FoundNodeStaysCurrentAndTheSameSearchStopsAtOnce) {
    CTRing<int> ring;
    for (int v : {1, 2, 3}) ring.Insert(v);
    ASSERT_EQ(ring.Find(1, KeyOf), 1);
    EXPECT_EQ(ring.Current(), 1);
    ASSERT_EQ(ring.Find(1, KeyOf), 1);
    EXPECT_EQ(ring.Current(), 1);
}

TEST(CTRingTest, FailedSearchRestsOnTheNodeBeforeTheStart) {
    CTRing<int> ring;
    for (int v : {1, 2, 3}) ring.Insert(v);  // cursor on 3; forward order 3 2 1
    ASSERT_EQ(ring.Find(99, KeyOf), 0);
    EXPECT_EQ(ring.Current(), 1);  // 1 was the predecessor of 3
    EXPECT_EQ(ring.Count(), 3);
    // Membership is unchanged: every element is still found.
    for (int v : {1, 2, 3}) EXPECT_EQ(ring.Find(v, KeyOf), 1);
}

TEST(CTRingTest, RemoveCurrentMovesToTheSuccessorAndEmptiesCleanly) {
    CTRing<int> ring;
    for (int v : {1, 2, 3}) ring.Insert(v);
    ASSERT_EQ(ring.Find(2, KeyOf), 1);
    EXPECT_EQ(ring.RemoveCurrent(), 1);
    EXPECT_EQ(ring.Count(), 2);
    EXPECT_EQ(ring.Current(), 1);  // successor of 2 in the forward order 3 2 1
    EXPECT_EQ(ring.Find(2, KeyOf), 0);
    ring.Clear();
    EXPECT_EQ(ring.Count(), 0);
    EXPECT_EQ(ring.RemoveCurrent(), 0);
    EXPECT_EQ(ring.Find(1, KeyOf), 0);
}

TEST(CTRingTest, DuplicatesReturnTheFirstMatchGoingForward) {
    CTRing<int> ring;
    for (int v : {5, 7, 5}) ring.Insert(v);  // cursor on the second 5
    ASSERT_EQ(ring.Find(7, KeyOf), 1);
    ring.RemoveCurrent();  // cursor on the first 5 inserted
    ASSERT_EQ(ring.Find(5, KeyOf), 1);
    EXPECT_EQ(Members(ring).size(), 2u);
}

}  // namespace
}  // namespace tavlin::api
