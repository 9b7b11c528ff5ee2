#include "foundation/CStringSoup.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace {
// Every copy gets room for at least this many bytes.
constexpr size_t kMinimumCopySize = 64;
constexpr size_t kReservedEntries = 512;
// Copies are carved out of blocks of this size; a text too large for a quarter of one gets a block
// of its own.
constexpr size_t kBlockSize = 16384;
constexpr size_t kInitialSlots = 1024;
constexpr int32_t kFreeSlot = -1;
constexpr size_t kMaxEntries = static_cast<size_t>(std::numeric_limits<int32_t>::max());

uint64_t Load(char const* bytes, size_t count) {
  uint64_t word = 0;
  std::memcpy(&word, bytes, count);
  return word;
}

// A multiply-and-fold hash of the text, eight bytes at a time; the last word overlaps the one
// before it rather than being assembled byte by byte (the length, hashed in, tells texts apart
// that would read the same).
uint64_t HashText(char const* text, size_t length) {
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  uint64_t hash = (length + 1) * kMultiplier;
  auto mix = [&](uint64_t word) {
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 32;
  };
  if (length >= 8) {
    for (size_t at = 0; at + 8 < length; at += 8) mix(Load(text + at, 8));
    mix(Load(text + length - 8, 8));
  } else if (length >= 4) {
    mix(Load(text, 4) | Load(text + length - 4, 4) << 32);
  } else if (length > 0) {
    mix(Load(text, 1) | Load(text + length / 2, 1) << 8 | Load(text + length - 1, 1) << 16);
  }
  hash ^= hash >> 29;
  hash *= 0xBF58476D1CE4E5B9ull;
  hash ^= hash >> 32;
  return hash;
}

}  // namespace

CStringSoup::CStringSoup() : CStringSoup(kMaxEntries) {}

CStringSoup::CStringSoup(size_t maxEntries) : maxEntries_(std::min(maxEntries, kMaxEntries)) {
  strings_.reserve(std::min(kReservedEntries, maxEntries_));
  slots_.assign(kInitialSlots, Slot{});
}

CStringSoup::~CStringSoup() = default;

CStringSoup::Text CStringSoup::Describe(char const* text) {
  Text described;
  described.bytes = text;
  described.length = std::strlen(text);
  described.hash = HashText(text, described.length);
  // The head holds the NUL too when the text is shorter than the head.
  std::memcpy(described.head, text, std::min(described.length + 1, sizeof described.head));
  return described;
}

size_t CStringSoup::Probe(const Text& text) const {
  const size_t mask = slots_.size() - 1;
  const auto tag = static_cast<uint32_t>(text.hash);
  // The slot position comes from the high bits, the tag from the low ones.
  for (size_t at = static_cast<size_t>(text.hash >> 32) & mask;; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.index == kFreeSlot) return at;
    if (slot.hash != tag || std::memcmp(slot.head, text.head, sizeof slot.head) != 0) continue;
    // Equal heads: a text shorter than the head is equal; a longer one is compared past it.
    if (text.length < sizeof slot.head) return at;
    if (std::strcmp(slot.text + sizeof slot.head, text.bytes + sizeof slot.head) == 0) return at;
  }
}

long CStringSoup::Insert(char const* text) {
  if (text == nullptr) return -1;
  const Text described = Describe(text);
  size_t at = Probe(described);
  if (slots_[at].index != kFreeSlot) return slots_[at].index;
  // A full table takes no new text (indices are kept as 32-bit values).
  if (strings_.size() >= maxEntries_) return -1;
  // Kept at most 3/4 full, so that probes stay short and always end at a free slot.
  if (4 * (strings_.size() + 1) > 3 * slots_.size()) {
    Rehash(2 * slots_.size());
    at = Probe(described);
  }
  char const* copy = Copy(text, described.length);
  strings_.push_back(copy);
  const auto index = static_cast<int32_t>(strings_.size() - 1);
  Slot& slot = slots_[at];
  slot.hash = static_cast<uint32_t>(described.hash);
  slot.index = index;
  slot.text = copy;
  std::memcpy(slot.head, described.head, sizeof slot.head);
  return index;
}

char* CStringSoup::Copy(char const* text, size_t length) {
  const size_t size = std::max(length + 1, kMinimumCopySize);
  char* copy = nullptr;
  if (size > kBlockSize / 4) {
    // A block of its own; the room left in the current block stays in use.
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    copy = blocks_.back().get();
  } else {
    if (room_ < size) {
      blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
      free_ = blocks_.back().get();
      room_ = kBlockSize;
    }
    copy = free_;
    free_ += size;
    room_ -= size;
  }
  std::memcpy(copy, text, length + 1);
  return copy;
}

void CStringSoup::Rehash(size_t capacity) {
  std::vector<Slot> slots(capacity);
  const size_t mask = capacity - 1;
  for (const Slot& slot : slots_) {
    if (slot.index == kFreeSlot) continue;
    // The full hash is needed for the position; it is computed again from the text.
    const uint64_t hash = Describe(slot.text).hash;
    size_t at = static_cast<size_t>(hash >> 32) & mask;
    while (slots[at].index != kFreeSlot) at = (at + 1) & mask;
    slots[at] = slot;
  }
  slots_.swap(slots);
}

char const* CStringSoup::Find(long index) const {
  if (index < 0 || static_cast<size_t>(index) >= strings_.size()) return nullptr;
  return strings_[static_cast<size_t>(index)];
}

long CStringSoup::Find(char const* text) const {
  if (text == nullptr) return -1;
  return slots_[Probe(Describe(text))].index;  // kFreeSlot is -1
}

void CStringSoup::Clear() {
  strings_.clear();
  blocks_.clear();
  free_ = nullptr;
  room_ = 0;
  slots_.assign(kInitialSlots, Slot{});
}

size_t CStringSoup::size() const { return strings_.size(); }
