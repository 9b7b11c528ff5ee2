#include "constraints/UIConstraints.h"

namespace {
// Option texts that an open option of a constraint line never stands for.
constexpr char kNoneOption[] = "None";
constexpr char kFalseOption[] = "False";
}  // namespace

UIConstraints::UIConstraints() = default;
UIConstraints::~UIConstraints() = default;

void UIConstraints::KVSInsert(char const* key, char const* option) {
  const long key_id = strings_.Insert(key);
  const long option_id = strings_.Insert(option);
  KVSInsert(key_id, option_id);
}

void UIConstraints::KVSInsert(long key, long option) {
  if (key < 0 || option < 0) return;
  keyOptions_.insert(key, option);
}

void UIConstraints::UpdateKVCache(char const* key, char const* option) {
  const long key_id = strings_.Insert(key);
  const long option_id = strings_.Insert(option);
  UpdateKVCache(key_id, option_id);
}

void UIConstraints::UpdateKVCache(long key, long option) { current_.Insert(key, option); }

void UIConstraints::Add(char const* key1, char const* option1, char const* key2,
                        char const* option2, bool isRequires) {
  // A missing option is an open one, as when the line ends after key2.
  const long key1_id = strings_.Insert(key1);
  const long option1_id = strings_.Insert(option1 ? option1 : "");
  const long key2_id = strings_.Insert(key2);
  const long option2_id = strings_.Insert(option2 ? option2 : "");
  const long open = strings_.Find("");
  if (key1_id < 0 || key2_id < 0) return;
  if (option1_id != open && option2_id != open) {
    ForestFor(isRequires).insert(key1_id, option1_id, key2_id, option2_id, kConstraintExclude);
    return;
  }
  // The options of a key may not all be known before the end of the file.
  deferred_.push_back({key1_id, option1_id, key2_id, option2_id, isRequires});
}

void UIConstraints::Resolve() {
  const long open = strings_.Find("");
  if (open < 0) return;
  const long none = strings_.Insert(kNoneOption);
  const long no = strings_.Insert(kFalseOption);
  auto expands = [&](long option) { return option != none && option != no; };
  static const std::vector<long> kNoOptions;
  auto options_of = [&](long key) -> const std::vector<long>& {
    const std::vector<long>* options = keyOptions_.GetItems(key);
    return options ? *options : kNoOptions;
  };

  for (const SpecialConstraint& line : deferred_) {
    ConstraintForest& forest = ForestFor(line.requiresLine);
    const bool open1 = line.option1 == open;
    const bool open2 = line.option2 == open;
    // A closed side stands for its one option; an open side for each of the key's options.
    const std::vector<long> closed1{line.option1};
    const std::vector<long> closed2{line.option2};
    const std::vector<long>& firsts = open1 ? options_of(line.key1) : closed1;
    const std::vector<long>& seconds = open2 ? options_of(line.key2) : closed2;
    for (long o1 : firsts) {
      if (open1 && !expands(o1)) continue;
      for (long o2 : seconds) {
        if (open2 && !expands(o2)) continue;
        forest.insert(line.key1, o1, line.key2, o2, kConstraintExclude);
      }
    }
  }
  deferred_.clear();
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
