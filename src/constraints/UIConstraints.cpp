#include "constraints/UIConstraints.h"

#include <cstring>
#include <span>

namespace {
// Option texts that an open option of a constraint line never stands for.
constexpr char kNoneOption[] = "None";
constexpr char kFalseOption[] = "False";
}  // namespace

UIConstraints::UIConstraints() = default;
UIConstraints::~UIConstraints() = default;

long UIConstraints::InternKey(char const* key) {
  // The text at the last key's id is the key: interning it would answer that id.
  if (key != nullptr && lastKey_ >= 0) {
    char const* last = strings_.Find(lastKey_);
    if (last != nullptr && std::strcmp(last, key) == 0) return lastKey_;
  }
  lastKey_ = strings_.Insert(key);
  return lastKey_;
}

void UIConstraints::KVSInsert(char const* key, char const* option) {
  const long key_id = InternKey(key);
  const long option_id = strings_.Insert(option);
  KVSInsert(key_id, option_id);
}

void UIConstraints::KVSInsert(long key, long option) {
  if (key < 0 || option < 0) return;
  keyOptions_.insert(key, option);
}

void UIConstraints::UpdateKVCache(char const* key, char const* option) {
  const long key_id = InternKey(key);
  const long option_id = strings_.Insert(option);
  UpdateKVCache(key_id, option_id);
}

void UIConstraints::UpdateKVCache(long key, long option) { current_.Insert(key, option); }

void UIConstraints::Add(char const* key1, char const* option1, char const* key2,
                        char const* option2, bool isRequires) {
  // A missing option is an open one, as when the line ends after key2.
  if (option1 == nullptr) option1 = "";
  if (option2 == nullptr) option2 = "";
  const long key1_id = strings_.Insert(key1);
  const long option1_id = strings_.Insert(option1);
  const long key2_id = strings_.Insert(key2);
  const long option2_id = strings_.Insert(option2);
  if (key1_id < 0 || key2_id < 0) return;
  // An option's id is the id of the empty string exactly when its text is empty.
  if (option1[0] != '\0' && option2[0] != '\0') {
    ForestFor(isRequires).insert(key1_id, option1_id, key2_id, option2_id, kConstraintExclude);
    return;
  }
  // The options of a key may not all be known before the end of the file.
  deferred_.push_back({key1_id, option1_id, key2_id, option2_id, isRequires});
}

void UIConstraints::Resolve() {
  // The options of every key are all known now; the queries read the indexed arrays.
  keyOptions_.BuildIndex();
  ExpandDeferred();
  constraints_.BuildIndex();
  requires_.BuildIndex();
}

void UIConstraints::ExpandDeferred() {
  const long open = strings_.Find("");
  if (open < 0) return;
  const long none = strings_.Insert(kNoneOption);
  const long no = strings_.Insert(kFalseOption);
  auto expands = [&](long option) { return option != none && option != no; };

  auto firsts_of = [&](const SpecialConstraint& line) {
    return line.option1 == open ? keyOptions_.Options(line.key1)
                                : std::span<const long>(&line.option1, 1);
  };
  auto seconds_of = [&](const SpecialConstraint& line) {
    return line.option2 == open ? keyOptions_.Options(line.key2)
                                : std::span<const long>(&line.option2, 1);
  };
  // Room for every expansion at once (an upper bound: "None" and "False" are counted too).
  size_t expansions[2] = {0, 0};
  for (const SpecialConstraint& line : deferred_) {
    expansions[line.requiresLine ? 1 : 0] += firsts_of(line).size() * seconds_of(line).size();
  }
  constraints_.reserve(expansions[0]);
  requires_.reserve(expansions[1]);

  for (const SpecialConstraint& line : deferred_) {
    ConstraintForest& forest = ForestFor(line.requiresLine);
    const bool open1 = line.option1 == open;
    const bool open2 = line.option2 == open;
    // A closed side stands for its one option; an open side for each of the key's options.
    const std::span<const long> firsts = firsts_of(line);
    const std::span<const long> seconds = seconds_of(line);
    for (long o1 : firsts) {
      if (open1 && !expands(o1)) continue;
      for (long o2 : seconds) {
        if (open2 && !expands(o2)) continue;
        forest.insert(line.key1, o1, line.key2, o2, kConstraintExclude);
      }
    }
  }
  std::vector<SpecialConstraint>().swap(deferred_);
}

bool UIConstraints::IsKVConstrained(char const* key, char const* option) {
  return IsKVConstrained(strings_.Find(key), strings_.Find(option));
}

bool UIConstraints::IsKVConstrained(long key, long option) {
  // The same answer as !ValidateDelta({(key, option)}), without building the engine's lists: the
  // panel asks this for every drawn option after every change.
  return Engine().IsConstrained(key, option);
}

bool UIConstraints::ValidateDelta(KVCache const& delta) {
  return Engine().Test(&delta).first.size() == 0;
}

ConstraintsEngine& UIConstraints::Engine() {
  if (!engine_) {
    engine_ = std::make_unique<ConstraintsEngine>(&current_, &constraints_, &keyOptions_, nullptr);
  }
  return *engine_;
}
