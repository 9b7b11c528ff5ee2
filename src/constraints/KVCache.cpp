#include "constraints/KVCache.h"

#include <algorithm>

KVCache::KVCache() = default;
KVCache::~KVCache() = default;
KVCache::KVCache(const KVCache& other) = default;
KVCache::KVCache(KVCache&& other) noexcept
    : entries_(std::move(other.entries_)),
      base_(other.base_),
      indexed_(other.indexed_),
      dense_(std::move(other.dense_)),
      sparse_(std::move(other.sparse_)),
      later_(std::move(other.later_)) {
  other.clear();
}
KVCache& KVCache::operator=(const KVCache& other) = default;
KVCache& KVCache::operator=(KVCache&& other) noexcept {
  if (this != &other) {
    entries_ = std::move(other.entries_);
    base_ = other.base_;
    indexed_ = other.indexed_;
    dense_ = std::move(other.dense_);
    sparse_ = std::move(other.sparse_);
    later_ = std::move(other.later_);
    other.clear();
  }
  return *this;
}

const KVCache::Slot* KVCache::FindSlot(long key) const {
  if (key >= 0 && key < static_cast<long>(dense_.size())) {
    const Slot& slot = dense_[static_cast<size_t>(key)];
    return slot.firstSeq >= 0 ? &slot : nullptr;
  }
  auto it = sparse_.find(key);
  return it == sparse_.end() ? nullptr : &it->second;
}

KVCache::Slot* KVCache::FindSlot(long key) {
  return const_cast<Slot*>(static_cast<const KVCache*>(this)->FindSlot(key));
}

KVCache::Slot& KVCache::MakeSlot(long key) {
  const long limit = std::max(kDenseFloor, kDenseFactor * size());
  if (key < 0 || key >= limit) return sparse_[key];
  if (key >= static_cast<long>(dense_.size())) {
    const long grown = std::min(limit, std::max(key + 1, 2 * static_cast<long>(dense_.size())));
    dense_.resize(static_cast<size_t>(grown));
    // Keys that the table now covers move into it.
    for (auto it = sparse_.begin(); it != sparse_.end();) {
      if (it->first >= 0 && it->first < grown) {
        dense_[static_cast<size_t>(it->first)] = it->second;
        it = sparse_.erase(it);
      } else {
        ++it;
      }
    }
  }
  return dense_[static_cast<size_t>(key)];
}

void KVCache::DropSlot(long key) {
  if (key >= 0 && key < static_cast<long>(dense_.size())) {
    dense_[static_cast<size_t>(key)] = Slot();
  } else {
    sparse_.erase(key);
  }
}

template <typename Fn>
bool KVCache::AnyPositionOfKey(long key, Fn fn) const {
  if (indexed_) {
    const Slot* slot = FindSlot(key);
    if (slot == nullptr) return false;
    if (fn(slot->firstSeq - base_)) return true;
    if (later_.empty()) return false;
    auto later = later_.find(key);
    if (later == later_.end()) return false;
    for (long seq : later->second) {
      if (fn(seq - base_)) return true;
    }
    return false;
  }
  for (size_t p = 0; p < entries_.size(); ++p) {
    if (entries_[p].first == key && fn(static_cast<long>(p))) return true;
  }
  return false;
}

KVCache::KV KVCache::GetKV(long i) const {
  if (i < 0 || i >= size()) return {-1, -1};
  return entries_[static_cast<size_t>(i)];
}

std::optional<long> KVCache::FirstOption(long key) const {
  if (indexed_) {
    const Slot* slot = FindSlot(key);
    if (slot == nullptr) return std::nullopt;
    return slot->firstOption;
  }
  for (const KV& kv : entries_) {
    if (kv.first == key) return kv.second;
  }
  return std::nullopt;
}

long KVCache::GetItem(long key) const { return FirstOption(key).value_or(-1); }

long KVCache::Lookup(KV kv) const {
  long found = -1;
  AnyPositionOfKey(kv.first, [&](long p) {
    if (entries_[static_cast<size_t>(p)].second != kv.second) return false;
    found = p;
    return true;
  });
  return found;
}

bool KVCache::HoldsBeyondFirst(KV kv) const {
  bool first = true;
  return AnyPositionOfKey(kv.first, [&](long p) {
    const bool later = !first;
    first = false;
    return later && entries_[static_cast<size_t>(p)].second == kv.second;
  });
}

void KVCache::Insert(long key, long option) {
  if (key < 0) return;
  if (indexed_) {
    if (Slot* slot = FindSlot(key)) {
      slot->firstOption = option;
      entries_[static_cast<size_t>(slot->firstSeq - base_)].second = option;
    } else {
      Append({key, option});
    }
    return;
  }
  for (KV& kv : entries_) {
    if (kv.first == key) {
      kv.second = option;
      return;
    }
  }
  Append({key, option});
}

void KVCache::add(KV kv) { Append(kv); }

void KVCache::Append(KV kv) {
  entries_.push_back(kv);
  if (indexed_) {
    Enter(kv, base_ + size() - 1);
  } else if (entries_.size() >= kIndexFrom) {
    BuildIndex();
  }
}

void KVCache::BuildIndex() {
  dense_.clear();
  sparse_.clear();
  later_.clear();
  for (size_t p = 0; p < entries_.size(); ++p) Enter(entries_[p], base_ + static_cast<long>(p));
  indexed_ = true;
}

void KVCache::Enter(KV kv, long seq) {
  if (FindSlot(kv.first) != nullptr) {
    later_[kv.first].push_back(seq);
  } else {
    MakeSlot(kv.first) = Slot{kv.second, seq};
  }
}

KVCache::KV KVCache::pop_front() {
  if (entries_.empty()) return {0, 0};
  const KV kv = entries_.front();
  entries_.pop_front();
  ++base_;
  if (indexed_) {
    // The front entry is the first entry of its key; the next one, if any, takes its place.
    auto later = later_.find(kv.first);
    if (later == later_.end()) {
      DropSlot(kv.first);
    } else {
      Slot* slot = FindSlot(kv.first);
      slot->firstSeq = later->second.front();
      slot->firstOption = entries_[static_cast<size_t>(slot->firstSeq - base_)].second;
      later->second.erase(later->second.begin());
      if (later->second.empty()) later_.erase(later);
    }
  }
  return kv;
}

KVCache::KV KVCache::pop_back() {
  if (entries_.empty()) return {0, 0};
  const KV kv = entries_.back();
  entries_.pop_back();
  if (indexed_) {
    // The back entry is the last entry of its key.
    auto later = later_.find(kv.first);
    if (later == later_.end()) {
      DropSlot(kv.first);
    } else {
      later->second.pop_back();
      if (later->second.empty()) later_.erase(later);
    }
  }
  return kv;
}

void KVCache::clear() {
  entries_.clear();
  dense_.clear();
  sparse_.clear();
  later_.clear();
  indexed_ = false;
  base_ = 0;
}

KVCache KVCache::operator+(const KVCache& other) const {
  KVCache sum(*this);
  for (const KV& kv : other.entries_) {
    if (kv.first >= 0) sum.Append(kv);
  }
  return sum;
}

KVCache& KVCache::operator+=(const KVCache& other) {
  if (&other == this) {
    const KVCache copy(other);
    return *this += copy;
  }
  for (const KV& kv : other.entries_) {
    if (kv.first >= 0) Append(kv);
  }
  return *this;
}

void KVCache::merge(const KVCache& other) {
  if (&other == this) {
    const KVCache copy(other);
    merge(copy);
    return;
  }
  for (const KV& kv : other.entries_) {
    if (kv.first >= 0) Insert(kv.first, kv.second);
  }
}

bool KVCache::operator==(const KVCache& other) const {
  if (entries_.size() != other.entries_.size()) return false;
  if (std::equal(entries_.begin(), entries_.end(), other.entries_.begin())) return true;
  std::vector<KV> mine(entries_.begin(), entries_.end());
  std::vector<KV> theirs(other.entries_.begin(), other.entries_.end());
  std::sort(mine.begin(), mine.end(), KeyOptionGreater());
  std::sort(theirs.begin(), theirs.end(), KeyOptionGreater());
  return mine == theirs;
}
