// UIConstraints: constraint lines stored in one direction, open options expanded after the file
// is read (never to "None" or "False"), requires lines that constrain nothing, and queries on
// unknown keys and options.
#include "constraints/UIConstraints.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Pair = std::pair<std::string, std::string>;

// A store filled the way the parser fills it: the options of every key, the current option of
// every key, the constraint lines, then Resolve().
class Store {
 public:
  Store() {
    Popup("*Duplex", {"None", "DuplexNoTumble", "DuplexTumble"});
    Popup("*MediaType", {"Plain", "Transparency", "Labels"});
    Popup("*InputSlot", {"Auto", "Tray1", "Tray2", "None"});
    Popup("*Collate", {"True", "False"});
  }
  void Popup(const char* key, const std::vector<const char*>& options) {
    for (const char* option : options) ui.KVSInsert(key, option);
    ui.UpdateKVCache(key, options.front());
  }
  // The exclusion pairs stored under key/option, as texts.
  std::set<Pair> Excluded(ConstraintForest* forest, const char* key, const char* option) {
    std::set<Pair> out;
    CStringSoup* strings = ui.GetConstraintStrings();
    auto list = forest->GetConstraintList(strings->Find(key), strings->Find(option));
    if (!list) return out;
    for (const auto& [k, o] : list->pairs()) out.insert({strings->Find(k), strings->Find(o)});
    return out;
  }
  UIConstraints ui;
};

}  // namespace

TEST(UIConstraints, ALineConstrainsInOneDirectionOnly) {
  Store store;
  store.ui.Add("*Duplex", "DuplexTumble", "*MediaType", "Transparency", false);
  store.ui.Resolve();
  struct Case {
    const char* media;
    const char* key;
    const char* option;
    bool constrained;
  };
  const Case cases[] = {
      {"Transparency", "*Duplex", "DuplexTumble", true},
      {"Transparency", "*Duplex", "DuplexNoTumble", false},
      {"Plain", "*Duplex", "DuplexTumble", false},
      {"Labels", "*Duplex", "DuplexTumble", false},
      {"Transparency", "*MediaType", "Transparency", false},
  };
  for (const Case& c : cases) {
    store.ui.UpdateKVCache("*MediaType", c.media);
    for (const char* duplex : {"None", "DuplexTumble"}) {
      store.ui.UpdateKVCache("*Duplex", duplex);
      EXPECT_EQ(store.ui.IsKVConstrained(c.key, c.option), c.constrained)
          << c.key << " " << c.option << " with " << c.media << ", " << duplex;
    }
  }
  // The reverse line makes the other direction constrained.
  store.ui.Add("*MediaType", "Transparency", "*Duplex", "DuplexTumble", false);
  store.ui.UpdateKVCache("*Duplex", "DuplexTumble");
  EXPECT_TRUE(store.ui.IsKVConstrained("*MediaType", "Transparency"));
}

TEST(UIConstraints, OpenOptionsExpandOverEveryOptionButNoneAndFalse) {
  Store store;
  ConstraintForest* forest = store.ui.GetConstraintForest();
  store.ui.Add("*Duplex", "", "*InputSlot", "", false);
  store.ui.Add("*Collate", "True", "*Duplex", "", false);
  store.ui.Add("*MediaType", "", "*Collate", "False", false);
  store.ui.Add("*Collate", "False", "*InputSlot", "", false);
  // Open options are not expanded before the end of the file, when late options are known.
  store.ui.KVSInsert("*InputSlot", "Tray3");
  EXPECT_EQ(forest->GetConstraintList(store.ui.GetConstraintStrings()->Find("*Duplex"), -1),
            nullptr);
  store.ui.Resolve();

  const std::set<Pair> slots = {{"*InputSlot", "Auto"},
                                {"*InputSlot", "Tray1"},
                                {"*InputSlot", "Tray2"},
                                {"*InputSlot", "Tray3"}};
  EXPECT_EQ(store.Excluded(forest, "*Duplex", "DuplexTumble"), slots);
  EXPECT_EQ(store.Excluded(forest, "*Duplex", "DuplexNoTumble"), slots);
  EXPECT_TRUE(store.Excluded(forest, "*Duplex", "None").empty());

  EXPECT_EQ(store.Excluded(forest, "*Collate", "True"),
            (std::set<Pair>{{"*Duplex", "DuplexNoTumble"}, {"*Duplex", "DuplexTumble"}}));
  // Only the open side skips "None" and "False"; a named "False" is kept on either side.
  EXPECT_EQ(store.Excluded(forest, "*Collate", "False"), slots);
  EXPECT_EQ(store.Excluded(forest, "*MediaType", "Labels"),
            (std::set<Pair>{{"*Collate", "False"}}));
  // Nothing is stored the other way round.
  EXPECT_TRUE(store.Excluded(forest, "*InputSlot", "Tray1").empty());

  store.ui.UpdateKVCache("*InputSlot", "Tray2");
  EXPECT_TRUE(store.ui.IsKVConstrained("*Duplex", "DuplexTumble"));
  EXPECT_FALSE(store.ui.IsKVConstrained("*Duplex", "None"));
  store.ui.UpdateKVCache("*InputSlot", "None");  // reflected at once
  EXPECT_FALSE(store.ui.IsKVConstrained("*Duplex", "DuplexTumble"));
}

TEST(UIConstraints, RequiresLinesAreStoredButNeverConstrain) {
  Store store;
  store.ui.UpdateKVCache("*MediaType", "Transparency");
  store.ui.Add("*Duplex", "DuplexTumble", "*MediaType", "Transparency", true);
  store.ui.Add("*Duplex", "", "*MediaType", "", true);
  store.ui.Resolve();
  EXPECT_EQ(store.Excluded(store.ui.GetRequiresForest(), "*Duplex", "DuplexTumble").size(), 3u);
  EXPECT_EQ(store.ui.GetConstraintForest()->size(), 0u);
  for (const char* option : {"None", "DuplexNoTumble", "DuplexTumble"}) {
    EXPECT_FALSE(store.ui.IsKVConstrained("*Duplex", option)) << option;
  }
}

TEST(UIConstraints, UnknownAndBadInputAnswerWithoutHarm) {
  Store store;
  store.ui.Add("*Duplex", "DuplexTumble", "*MediaType", "Plain", false);
  // Lines naming keys that have no options add nothing.
  store.ui.Add("*Ghost", "", "*MediaType", "", false);
  store.ui.Add("*Duplex", "", "*Phantom", "", false);
  store.ui.Add(nullptr, "X", "*Duplex", "None", false);
  store.ui.Add("*Duplex", "None", nullptr, "X", false);
  store.ui.Resolve();
  EXPECT_EQ(
      store.ui.GetConstraintForest()->FindTree(store.ui.GetConstraintStrings()->Find("*Ghost")),
      nullptr);
  EXPECT_EQ(store.Excluded(store.ui.GetConstraintForest(), "*Duplex", "DuplexNoTumble").size(), 0u);

  // *MediaType is at "Plain".
  EXPECT_FALSE(store.ui.IsKVConstrained("*Unheard", "DuplexTumble"));
  EXPECT_FALSE(store.ui.IsKVConstrained(nullptr, nullptr));
  EXPECT_FALSE(store.ui.IsKVConstrained(-1, 0));
  EXPECT_FALSE(store.ui.IsKVConstrained(-7, -7));
  EXPECT_FALSE(store.ui.IsKVConstrained(1L << 40, 3));
  // An unknown option of a known key is tested with all of the key's options together.
  EXPECT_TRUE(store.ui.IsKVConstrained("*Duplex", "NoSuchOption"));
  EXPECT_TRUE(store.ui.IsKVConstrained("*Duplex", nullptr));
  EXPECT_FALSE(store.ui.IsKVConstrained("*MediaType", "NoSuchOption"));

  // Bad ids leave the store as it was.
  store.ui.UpdateKVCache(-3, 2);
  store.ui.KVSInsert(-3, 2);
  store.ui.KVSInsert(nullptr, "x");
  store.ui.UpdateKVCache(nullptr, "x");
  EXPECT_TRUE(store.ui.IsKVConstrained("*Duplex", "DuplexTumble"));

  KVCache delta;
  delta.Insert(store.ui.GetConstraintStrings()->Find("*MediaType"),
               store.ui.GetConstraintStrings()->Find("Labels"));
  delta.Insert(store.ui.GetConstraintStrings()->Find("*Duplex"),
               store.ui.GetConstraintStrings()->Find("DuplexTumble"));
  EXPECT_TRUE(store.ui.ValidateDelta(delta));  // the delta moves *MediaType away from "Plain"
  EXPECT_TRUE(store.ui.ValidateDelta(KVCache()));
}

TEST(UIConstraints, ResolveWithNoOpenLineInternsNothing) {
  UIConstraints ui;
  ui.KVSInsert("*Duplex", "None");
  ui.Add("*Duplex", "None", "*Duplex", "None", false);
  const size_t before = ui.GetConstraintStrings()->size();
  ui.Resolve();
  EXPECT_EQ(ui.GetConstraintStrings()->size(), before);
  EXPECT_EQ(ui.GetConstraintStrings()->Find("False"), -1);
}
