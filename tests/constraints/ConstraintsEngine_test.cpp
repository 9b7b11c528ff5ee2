// ConstraintsEngine: the conflicts and alternatives of Test, the search of Solve with its locked
// list and its step limit, the listing operations, and the allocation-free query that the store
// answers the panel with.
#include "constraints/ConstraintsEngine.h"

#include <gtest/gtest.h>

#include "KVCacheTestHelpers.h"

#include <random>
#include <utility>
#include <vector>

namespace {

using constraints_test::Entries;
using constraints_test::KV;
using constraints_test::Make;

// Key ids 1..3, each with options key*10 + 0..3; every key starts at option 0.
struct World {
  World() {
    for (long key = 1; key <= 3; ++key) {
      for (long option = 0; option < 4; ++option) keys.insert(key, key * 10 + option);
      current.Insert(key, key * 10);
    }
  }
  ConstraintsEngine Engine(const KVCache* locked = nullptr) {
    return ConstraintsEngine(&current, &forest, &keys, locked);
  }
  KVCache current;
  ConstraintForest forest;
  KeyForest keys;
};

}  // namespace

TEST(ConstraintsEngine, TestListsConflictsAndAlternatives) {
  struct Case {
    const char* name;
    std::vector<std::pair<KV, KV>> exclusions;  // (key1, option1) -> (key2, option2)
    std::vector<KV> delta;
    std::vector<KV> conflicts;
    std::vector<KV> alternatives;
  };
  const Case cases[] = {
      {"empty delta", {{{1, 11}, {2, 20}}}, {}, {}, {}},
      {"excluded pair not held", {{{1, 11}, {2, 21}}}, {{1, 11}}, {}, {}},
      {"two options of one key excluded, one current",
       {{{1, 11}, {2, 22}}, {{1, 11}, {2, 20}}},
       {{1, 11}},
       {{2, 20}},
       {{2, 23}, {2, 21}}},
      {"same conflict from two delta pairs is listed twice",
       {{{1, 11}, {3, 30}}, {{2, 21}, {3, 30}}},
       {{1, 11}, {2, 21}},
       {{3, 30}, {3, 30}},
       {{3, 33}, {3, 32}, {3, 31}, {3, 33}, {3, 32}, {3, 31}}},
      {"the delta's own changes are what is tested",
       {{{1, 11}, {2, 20}}},
       {{1, 11}, {2, 22}},
       {},
       {}},
      {"a changed key conflicts with its new option",
       {{{1, 11}, {2, 22}}},
       {{2, 22}, {1, 11}},
       {{2, 22}},
       {{2, 23}, {2, 21}, {2, 20}}},
      {"option -1 tests every option's list",
       {{{1, 12}, {3, 30}}, {{1, 13}, {2, 20}}},
       {{1, -1}},
       {{2, 20}, {3, 30}},
       {{2, 23}, {2, 22}, {2, 21}, {3, 33}, {3, 32}, {3, 31}}},
      {"a key without constraints", {}, {{7, 70}, {-1, 3}}, {}, {}},
  };
  for (const Case& c : cases) {
    World world;
    for (const auto& [from, to] : c.exclusions) world.forest.insert(from.first, from.second, to);
    const KVCache before = world.current;
    const KVCache delta = Make(c.delta);
    const auto [conflicts, alternatives] = world.Engine().Test(&delta);
    EXPECT_EQ(Entries(conflicts), c.conflicts) << c.name;
    EXPECT_EQ(Entries(alternatives), c.alternatives) << c.name;
    EXPECT_EQ(Entries(world.current), Entries(before)) << c.name;
  }
  EXPECT_EQ(ConstraintsEngine().Test(nullptr).first.size(), 0);
}

// The query the store answers the panel with must agree with Test for every key and option,
// also when the current choices hold a key more than once.
TEST(ConstraintsEngine, QueryAgreesWithTest) {
  std::mt19937 rng(11);
  auto pick = [&](int n) { return static_cast<long>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 20; ++round) {
    KVCache current;
    ConstraintForest forest;
    KeyForest keys;
    for (long key = 0; key < 12; ++key) {
      for (long option = 0; option < 5; ++option) keys.insert(key, option);
      current.Insert(key, pick(5));
      if (pick(4) == 0) current.add({key, pick(5)});
    }
    for (int line = 0; line < 60; ++line) forest.insert(pick(12), pick(5), {pick(12), pick(5)});
    ConstraintsEngine engine(&current, &forest, &keys, nullptr);
    for (long key = -1; key <= 12; ++key) {
      for (long option = -1; option <= 5; ++option) {
        KVCache delta;
        delta.Insert(key, option);
        ASSERT_EQ(engine.IsConstrained(key, option), engine.Test(&delta).first.size() > 0)
            << "round " << round << " key " << key << " option " << option;
      }
    }
  }
}

TEST(ConstraintsEngine, SolveFindsAChangeSetWithoutConflicts) {
  World world;
  world.forest.insert(1, 11, {2, 20});
  world.forest.insert(2, 21, {3, 30});
  world.forest.insert(2, 23, {3, 30});
  world.forest.insert(2, 22, {1, 11});
  ConstraintsEngine engine = world.Engine();

  KVCache delta = Make({{1, 11}});
  const auto [conflicts, alternatives] = engine.Solve(&delta, true);
  EXPECT_EQ(conflicts.size(), 0);
  EXPECT_EQ(delta.GetItem(1), 11);  // the change asked for is kept
  EXPECT_EQ(engine.Test(&delta).first.size(), 0);
  EXPECT_EQ(Entries(world.current), (std::vector<KV>{{1, 10}, {2, 20}, {3, 30}}));
}

TEST(ConstraintsEngine, SolveReportsLockedKeysAtTheFirstStep) {
  World world;
  world.forest.insert(1, 11, {2, 22});
  const KVCache locked = Make({{2, -1}});
  ConstraintsEngine engine = world.Engine(&locked);
  // The delta itself moves key 2 to 22, which 11 excludes: the answer names key 2 with the option
  // it holds now, not the conflicting pair.
  KVCache delta = Make({{1, 11}, {2, 22}});
  const auto [conflicts, alternatives] = engine.Solve(&delta, false);
  EXPECT_EQ(Entries(conflicts), (std::vector<KV>{{2, 20}}));
  EXPECT_EQ(alternatives.size(), 0);

  // A lock on single options drops only those alternatives.
  const KVCache some = Make({{2, 23}, {2, 21}});
  KVCache alternatives_left = Make({{2, 23}, {2, 22}, {2, 21}});
  EXPECT_EQ(Entries(ConstraintsEngine(&world.current, nullptr, nullptr, &some)
                        .TestLockedStatus(&alternatives_left)),
            (std::vector<KV>{{2, 20}}));
  EXPECT_EQ(Entries(alternatives_left), (std::vector<KV>{{2, 22}}));
}

TEST(ConstraintsEngine, SolveWithNoSolutionEndsWithTheConflicts) {
  World world;
  for (long option = 0; option < 4; ++option) world.forest.insert(1, 11, {2, 20 + option});
  ConstraintsEngine engine = world.Engine();
  KVCache delta = Make({{1, 11}});
  const auto [conflicts, alternatives] = engine.Solve(&delta, true);
  EXPECT_EQ(Entries(conflicts), (std::vector<KV>{{2, 20}}));
  EXPECT_EQ(alternatives.size(), 0);
}

// A chain of keys each of whose option 1 excludes option 0 of the next: the search needs one
// step per link. 128 links are solved; with 129 the search stops at its step limit.
TEST(ConstraintsEngine, SolveStopsAfter128Steps) {
  for (const long links : {128L, 129L}) {
    KVCache current;
    ConstraintForest forest;
    KeyForest keys;
    for (long key = 0; key <= links; ++key) {
      keys.insert(key, 0);
      keys.insert(key, 1);
      current.Insert(key, 0);
      if (key < links) forest.insert(key, 1, {key + 1, 0});
    }
    ConstraintsEngine engine(&current, &forest, &keys, nullptr);
    KVCache delta = Make({{0, 1}});
    const auto [conflicts, alternatives] = engine.Solve(&delta, true);
    if (links == ConstraintsEngine::kMaxDepth) {
      EXPECT_EQ(conflicts.size(), 0);
      EXPECT_EQ(delta.size(), links + 1);
    } else {
      EXPECT_EQ(Entries(conflicts), (std::vector<KV>{{links, 0}}));
      EXPECT_EQ(Entries(alternatives), (std::vector<KV>{{links, 1}}));
    }
  }
}

// Every key's options all conflict with each other's: the queue fills and the search still ends.
TEST(ConstraintsEngine, SolveEndsOnAWideSearch) {
  KVCache current;
  ConstraintForest forest;
  KeyForest keys;
  for (long key = 0; key < 6; ++key) {
    for (long option = 0; option < 8; ++option) keys.insert(key, option);
    current.Insert(key, 0);
  }
  for (long key = 0; key < 6; ++key) {
    for (long option = 0; option < 8; ++option) {
      forest.insert(key, option, {(key + 1) % 6, option});
      forest.insert(key, option, {(key + 1) % 6, (option + 1) % 8});
    }
  }
  ConstraintsEngine engine(&current, &forest, &keys, nullptr);
  KVCache delta = Make({{0, 7}});
  const auto result = engine.Solve(&delta, true);
  // Whatever the outcome, what is answered is consistent with Test of the set left in delta.
  EXPECT_EQ(result.first.size() == 0, engine.Test(&delta).first.size() == 0);
}

TEST(ConstraintsEngine, Listings) {
  World world;
  world.forest.insert(1, 11, {2, 20});  // 2 is at 20
  world.forest.insert(1, 12, {2, 21});
  world.forest.insert(1, 13, {2, 20});
  world.forest.insert(1, 13, {3, 30});
  // Options of 3 that leave 2 with nothing but 20.
  for (long option : {21, 22, 23}) world.forest.insert(3, 31, {2, option});
  for (long option : {21, 22}) world.forest.insert(3, 32, {2, option});
  ConstraintsEngine engine = world.Engine();

  EXPECT_EQ(Entries(engine.ListCurrentConstraints(1)), (std::vector<KV>{{1, 11}, {1, 13}}));
  EXPECT_EQ(engine.ListCurrentConstraints(-1).size(), 0);

  EXPECT_EQ(Entries(engine.ListBlockingConstraints(2, 20, 3)), (std::vector<KV>{{3, 31}}));
  EXPECT_EQ(engine.ListBlockingConstraints(2, -1, 3).size(), 0);
  EXPECT_EQ(engine.ListBlockingConstraints(9, 90, 3).size(), 0);

  const KVCache set = Make({{2, 20}, {3, 30}});
  EXPECT_EQ(Entries(engine.ListScreenedConstraints(set, false, 1)), (std::vector<KV>{{1, 13}}));
  EXPECT_EQ(Entries(engine.ListScreenedConstraints(set, true, 1)), (std::vector<KV>{{1, 13}}));
  // Both 11 and 13 screen exactly {(2, 20)}; the answer keeps one entry for the key, the last.
  const KVCache one = Make({{2, 20}});
  EXPECT_EQ(Entries(engine.ListScreenedConstraints(one, true, 1)), (std::vector<KV>{{1, 13}}));
  EXPECT_EQ(engine.ListScreenedConstraints(one, true, -1).size(), 0);
}
