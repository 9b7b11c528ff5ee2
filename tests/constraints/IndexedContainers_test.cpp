// ConstraintForest and KeyForest keep appended records and sort them into arrays at the first
// query after a change. Whatever the order of inserts and queries, every answer must be the one
// of a plain map of lists filled in the same order: lists in insertion order with duplicates,
// options ascending for a key's joined lists, keys ascending for GetKeys.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "constraints/ConstraintForest.h"
#include "constraints/KVCache.h"
#include "constraints/KeyForest.h"

namespace {

using KV = std::pair<long, long>;

std::vector<KV> Entries(const KVCache& cache) {
  std::vector<KV> out;
  for (long i = 0; i < cache.size(); ++i) out.push_back(cache.GetKV(i));
  return out;
}

std::vector<KV> Pairs(ConstraintForest::Pairs pairs) {
  std::vector<KV> out;
  for (const ConstraintForest::Pair& pair : pairs) out.push_back(pair.kv());
  return out;
}

// The forest as a map: key1 -> option1 -> pairs.
using ForestModel = std::map<long, std::map<long, std::vector<KV>>>;

void ExpectSameForest(const ConstraintForest& forest, const ForestModel& model,
                      const std::vector<long>& keys, const std::vector<long>& options,
                      const char* when) {
  EXPECT_EQ(forest.size(), model.size()) << when;
  for (long key : keys) {
    auto tree = model.find(key);
    std::vector<KV> joined;
    if (tree != model.end()) {
      for (const auto& [option, pairs] : tree->second) {
        joined.insert(joined.end(), pairs.begin(), pairs.end());
      }
    }
    EXPECT_EQ(Pairs(forest.ExcludedByAnyOption(key)), joined) << when << " key " << key;
    std::unique_ptr<ItemConstraintList> all = forest.GetConstraintList(key, -1);
    EXPECT_EQ(all != nullptr, tree != model.end()) << when << " key " << key;
    if (all) {
      EXPECT_EQ(all->pairs(), joined) << when << " key " << key;
    }
    EXPECT_EQ(forest.FindTree(key) != nullptr, tree != model.end()) << when << " key " << key;

    std::vector<long> listed;
    forest.ForEachList(key,
                       [&](long option, ConstraintForest::Pairs) { listed.push_back(option); });
    std::vector<long> expected_options;
    if (tree != model.end()) {
      for (const auto& entry : tree->second) expected_options.push_back(entry.first);
    }
    EXPECT_EQ(listed, expected_options) << when << " key " << key;

    for (long option : options) {
      std::vector<KV> expected;
      if (tree != model.end()) {
        auto list = tree->second.find(option);
        if (list != tree->second.end()) expected = list->second;
      }
      EXPECT_EQ(Pairs(forest.Excluded(key, option)), expected)
          << when << " key " << key << " option " << option;
      const ItemConstraintList* in_place = forest.FindList(key, option);
      EXPECT_EQ(in_place ? in_place->pairs() : std::vector<KV>{}, expected)
          << when << " key " << key << " option " << option;
    }
  }
}

}  // namespace

TEST(IndexedContainers, ForestAnswersLikeAMapWhateverTheOrderOfInsertsAndQueries) {
  // Close ids (sorted by counting), ids spread within one key (a key's options far apart), and
  // keys spread far apart (looked up by search), negative ids included.
  struct Shape {
    const char* name;
    std::vector<long> keys;
    std::vector<long> options;
  };
  const Shape shapes[] = {
      {"close ids", {0, 1, 2, 3, 5, 8}, {0, 1, 2, 3, 4, 9}},
      {"spread options", {1, 2, 3}, {-7, 0, 1, 300, 5000, 1L << 30}},
      {"spread keys", {-(1L << 31), -1, 4, 100000, (1L << 31) - 1}, {2, 3, 4}},
  };
  for (const Shape& shape : shapes) {
    std::mt19937 rng(42);
    auto pick = [&](const std::vector<long>& from) { return from[rng() % from.size()]; };
    ConstraintForest forest;
    ForestModel model;
    for (int round = 0; round < 6; ++round) {
      const int inserts = round == 0 ? 300 : static_cast<int>(rng() % 40);
      for (int i = 0; i < inserts; ++i) {
        const long key1 = pick(shape.keys), option1 = pick(shape.options);
        const KV kv{pick(shape.keys), pick(shape.options)};
        forest.insert(key1, option1, kv);
        model[key1][option1].push_back(kv);
      }
      ExpectSameForest(forest, model, shape.keys, shape.options, shape.name);
      if (round == 3) {
        forest.clear();
        model.clear();
        ExpectSameForest(forest, model, shape.keys, shape.options, shape.name);
      }
    }
  }
}

TEST(IndexedContainers, ForestKeepsIdsOf32BitsOnly) {
  ConstraintForest forest;
  forest.insert(1, 2, {3, 4});
  forest.insert(1L << 32, 2, {3, 4});
  forest.insert(1, 2, {3, -(1L << 33)});
  forest.insert(1, 2, {-3, -4});
  EXPECT_EQ(Pairs(forest.Excluded(1, 2)), (std::vector<KV>{{3, 4}, {-3, -4}}));
  EXPECT_TRUE(forest.Excluded(1L << 32, 2).empty());
  EXPECT_TRUE(forest.Excluded(1, 2 + (1L << 32)).empty());
  EXPECT_EQ(forest.size(), 1u);
}

TEST(IndexedContainers, KeyForestAnswersLikeAMapWhateverTheOrderOfInsertsAndQueries) {
  for (const long spread : {1L, 1L << 35}) {
    std::mt19937 rng(3);
    KeyForest forest;
    std::map<long, std::vector<long>> model;
    for (int round = 0; round < 6; ++round) {
      const int inserts = round == 0 ? 200 : static_cast<int>(rng() % 30);
      for (int i = 0; i < inserts; ++i) {
        const long key = static_cast<long>(rng() % 9) * spread - spread;
        const long option = static_cast<long>(rng() % 6) - 1;
        forest.insert(key, option);
        model[key].push_back(option);
      }
      std::vector<KV> all;
      for (long k = -1; k < 9; ++k) {
        const long key = k * spread;
        auto it = model.find(key);
        const std::vector<long> expected = it == model.end() ? std::vector<long>{} : it->second;
        const std::span<const long> options = forest.Options(key);
        EXPECT_EQ(std::vector<long>(options.begin(), options.end()), expected) << "key " << key;
        const std::vector<long>* items = forest.GetItems(key);
        EXPECT_EQ(items != nullptr, it != model.end()) << "key " << key;
        if (items) {
          EXPECT_EQ(*items, expected) << "key " << key;
        }
      }
      for (const auto& [key, options] : model) {
        for (long option : options) all.emplace_back(key, option);
      }
      KVCache* keys = nullptr;
      forest.GetKeys(&keys);
      std::unique_ptr<KVCache> owned(keys);
      EXPECT_EQ(Entries(*keys), all) << "spread " << spread << " round " << round;
      if (round == 3) {
        forest.clear();
        model.clear();
      }
    }
  }
}
