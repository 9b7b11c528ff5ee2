// UIConstraints: the store of one PPD's option constraints and of the option each boolean and
// popup control currently holds. Keys ("*Duplex") and options ("True") are held as ids: their
// indexes in the store's own interning table. The PPD parser fills it (options of every key,
// constraint lines, then one Resolve()); the choice controls report every change of their option;
// the panel asks it whether an option may be chosen.
#pragma once

#include <memory>
#include <vector>

#include "constraints/ConstraintForest.h"
#include "constraints/ConstraintsEngine.h"
#include "constraints/KVCache.h"
#include "constraints/KeyForest.h"
#include "foundation/CStringSoup.h"

class UIConstraints {
 public:
  // A constraint line that leaves an option open (the id of the empty string), kept until
  // Resolve() knows every option of its keys.
  struct SpecialConstraint {
    long key1;
    long option1;
    long key2;
    long option2;
    bool requiresLine;  // true for a "*%KRTUIRequires" line
  };

  UIConstraints();
  virtual ~UIConstraints();
  UIConstraints(const UIConstraints&) = delete;
  UIConstraints& operator=(const UIConstraints&) = delete;

  // Interns both texts and appends the option to the key's option list (duplicates kept). Null
  // texts (negative ids) are ignored.
  void KVSInsert(char const* key, char const* option);
  void KVSInsert(long key, long option);
  // Interns both texts and makes the option the key's current one (replacing the option of the
  // key's entry, or adding an entry). A null key (negative id) is ignored.
  void UpdateKVCache(char const* key, char const* option);
  void UpdateKVCache(long key, long option);
  // Stores one constraint line: with both options given, the exclusion key1/option1 ->
  // (key2, option2), in that direction only, in the requires forest when isRequires is set, else
  // in the constraint forest. A line with an open option (empty or null) waits for Resolve(). A
  // line without key1 or key2 is ignored.
  void Add(char const* key1, char const* option1, char const* key2, char const* option2,
           bool isRequires);
  // Expands every waiting line over the options of its keys, leaving out the options "None" and
  // "False" on the open side; a key with no options contributes nothing. Empties the waiting list.
  void Resolve();
  // Whether choosing the option for the key conflicts with the current selection. Texts are looked
  // up, never interned: an unknown key is not constrained; an unknown option of a known key is
  // tested with the exclusions of all the key's options together.
  bool IsKVConstrained(char const* key, char const* option);
  bool IsKVConstrained(long key, long option);
  // True when the changes of the delta conflict with nothing in the current selection.
  bool ValidateDelta(KVCache const& delta);

  ConstraintForest* GetConstraintForest() { return &constraints_; }
  ConstraintForest* GetRequiresForest() { return &requires_; }
  CStringSoup* GetConstraintStrings() { return &strings_; }

 private:
  ConstraintsEngine& Engine();
  // strings_.Insert(key), answered without hashing when the key is the last one interned here: the
  // parser hands over a control's default and then each of its options with the same key.
  long InternKey(char const* key);
  // Expands the waiting lines into the forests and empties the waiting list.
  void ExpandDeferred();
  ConstraintForest& ForestFor(bool isRequires) { return isRequires ? requires_ : constraints_; }

  ConstraintForest constraints_;
  ConstraintForest requires_;  // stored only: no query reads it
  CStringSoup strings_;
  std::unique_ptr<ConstraintsEngine> engine_;  // created by the first query
  KVCache current_;
  KeyForest keyOptions_;
  std::vector<SpecialConstraint> deferred_;
  long lastKey_ = -1;  // id of the last key given to InternKey
};
