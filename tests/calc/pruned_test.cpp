// The pruned-assemblage list: adding entries, the slot rule of a full list,
// the removal of entries that contain a new one, and the check of reactions.
#include <vector>

#include <gtest/gtest.h>

#include "calc/pruned.hpp"

namespace calc {
namespace {

std::vector<int> entry(const PrunedAssemblageList& list, int e) {
    return std::vector<int>(list.phases[e].begin(), list.phases[e].begin() + list.length[e]);
}

void add(PrunedAssemblageList& list, std::vector<int> phases) { addPrunedAssemblage(list, phases); }

TEST(PrunedList, SmallerAssemblageRemovesTheLargerOnes) {
    PrunedAssemblageList list;
    add(list, {0, 1, 2});
    add(list, {3, 4});
    add(list, {1, 0});
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(entry(list, 0), (std::vector<int>{3, 4}));
    EXPECT_EQ(entry(list, 1), (std::vector<int>{1, 0}));
    // The larger one after the smaller: both stay.
    add(list, {0, 1, 5});
    EXPECT_EQ(list.count, 3);
    EXPECT_TRUE(contains(list, std::vector<int>{5, 1, 0}));
    EXPECT_FALSE(contains(list, std::vector<int>{0, 1, 2}));
    // The same assemblage again stays once, in the new slot.
    add(list, {4, 3});
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(entry(list, 2), (std::vector<int>{4, 3}));
}

TEST(PrunedList, FullListReplacesSlotOne) {
    PrunedAssemblageList list;
    for (int i = 0; i < kMaxPruned; ++i) add(list, {i});
    ASSERT_EQ(list.count, kMaxPruned);
    add(list, {90, 95});
    EXPECT_EQ(list.count, kMaxPruned);
    EXPECT_EQ(entry(list, 0), (std::vector<int>{90, 95}));
    EXPECT_EQ(entry(list, 1), (std::vector<int>{1}));
    // Slot 1 again, and the entry {5} that contains the new one goes: the
    // list is closed up.
    add(list, {5});
    EXPECT_EQ(list.count, kMaxPruned - 1);
    EXPECT_EQ(entry(list, 0), (std::vector<int>{5}));
    EXPECT_EQ(entry(list, 4), (std::vector<int>{4}));
    EXPECT_EQ(entry(list, 5), (std::vector<int>{6}));
    EXPECT_FALSE(contains(list, std::vector<int>{90, 95}));
}

TEST(PrunedList, RepeatsAndBadIndicesAreDropped) {
    PrunedAssemblageList list;
    add(list, {2, 2, -1, 7, 100, 7});
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(entry(list, 0), (std::vector<int>{2, 7}));
}

TEST(PrunedList, EmptyAssemblageCoversEveryReaction) {
    PrunedAssemblageList list;
    add(list, {0, 1});
    add(list, {2, 3, 4});
    add(list, {});
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(list.length[0], 0);
    const double c[] = {-1, 1, 0};
    EXPECT_TRUE(IsPruned(list, c, 3));
}

TEST(IsPruned, EveryPhaseOfAnEntryMustTakePart) {
    PrunedAssemblageList list;
    add(list, {0, 2});
    const double both[] = {-1, 0, 2, 0};
    const double opposite[] = {-1, -1, 0, 0};
    const double otherSide[] = {1, -1, -2, 0};
    const double faint[] = {-1, 1, 0.001, 0};
    EXPECT_TRUE(IsPruned(list, both, 4));
    EXPECT_FALSE(IsPruned(list, opposite, 4));
    EXPECT_TRUE(IsPruned(list, otherSide, 4));
    EXPECT_FALSE(IsPruned(list, faint, 4));
    EXPECT_FALSE(IsPruned(PrunedAssemblageList{}, both, 4));
    EXPECT_TRUE(coversSomeEntry(list, std::vector<int>{2, 5, 0}));
    EXPECT_FALSE(coversSomeEntry(list, std::vector<int>{2, 5}));
    // Phases beyond the reaction's count take no part.
    EXPECT_FALSE(IsPruned(list, both, 2));
}

}  // namespace
}  // namespace calc
