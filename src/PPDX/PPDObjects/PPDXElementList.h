// PPDXElementList: the ordered element list behind every container of the PPD tree, with a
// keyword index and one cursor.
//
// A list either owns its elements (it deletes them when it goes) or only points to elements that
// another list owns; a borrowing list must not outlive the list that owns its elements. An element
// belongs to one owning list at most. Exact keyword lookups go through a hash index of the
// positions (open addressing over the elements' own keyword texts, which never change), so a
// lookup costs the few elements of that keyword instead of a walk of the whole list. The index
// holds no text and no node of its own: a list of n elements makes a handful of allocations, and
// going away costs little more than deleting its elements.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "PPDX/PPDObjects/PPDXElement.h"

class PPDXElementList {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  // Accepts every element.
  static bool AnyElement(PPDXElement const&) { return true; }
  // Accepts the elements shown under `options` (PPDXElement::OkayToDisplay).
  struct ShownUnder {
    _DISPLAY_OPTIONS_ options;
    bool operator()(PPDXElement const& element) const { return element.OkayToDisplay(options); }
  };

  // `owning`: the list deletes its elements when it is destroyed.
  explicit PPDXElementList(bool owning);
  ~PPDXElementList();
  PPDXElementList(const PPDXElementList&) = delete;
  PPDXElementList& operator=(const PPDXElementList&) = delete;

  // Appends the element. Returns false, adding nothing, for a null element and, in an owning
  // list, for an element the list already holds (it would be deleted twice).
  bool Add(PPDXElement* element);

  [[nodiscard]] bool Owning() const { return owning_; }
  [[nodiscard]] size_t Size() const { return items_.size(); }
  [[nodiscard]] bool Empty() const { return items_.empty(); }
  // The element at `position`; null out of range.
  [[nodiscard]] PPDXElement* At(size_t position) const {
    return position < items_.size() ? items_[position] : nullptr;
  }

  // Position of the first element at or after `from` that `accept` takes; npos when none.
  template <class Accept>
  [[nodiscard]] size_t NextFrom(size_t from, Accept&& accept) const {
    for (size_t i = from; i < items_.size(); ++i) {
      if (accept(*items_[i])) return i;
    }
    return npos;
  }

  // Position of the first element at or after `from`, in list order, whose keyword equals
  // `keyword` (strcmp) and that `accept` takes; npos when none or for a null keyword. Uses the
  // index.
  template <class Accept>
  [[nodiscard]] size_t FindExact(char const* keyword, Accept&& accept, size_t from = 0) const {
    if (keyword == nullptr || slots_.empty()) return npos;
    const std::string_view wanted(keyword);
    const uint32_t hash = Hash(wanted);
    size_t best = npos;
    // Every element of the keyword lies in the run of filled slots that starts at its hash.
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.position == 0) break;
      const size_t position = slot.position - 1;
      if (slot.hash == hash && position >= from && position < best &&
          wanted == items_[position]->Keyword() && accept(*items_[position])) {
        best = position;
      }
    }
    return best;
  }

  // Position of the first element at or after `from` whose keyword contains `text` and that
  // `accept` takes; npos when none or for a null text. Elements without a keyword never match.
  template <class Accept>
  [[nodiscard]] size_t FindContaining(char const* text, Accept&& accept, size_t from = 0) const {
    if (text == nullptr) return npos;
    return NextFrom(from, [&](PPDXElement const& element) {
      char const* keyword = element.Keyword();
      return keyword != nullptr && std::strstr(keyword, text) != nullptr && accept(element);
    });
  }

  // Exact or containment search, as `exact` says.
  template <class Accept>
  [[nodiscard]] size_t Find(char const* keyword, bool exact, Accept&& accept,
                            size_t from = 0) const {
    return exact ? FindExact(keyword, accept, from) : FindContaining(keyword, accept, from);
  }

  // Cursor iteration over the elements that `accept` takes: First starts over, Next goes on from
  // the cursor. Both give null at the end, and Next keeps giving null until First is called again
  // (also before the first First).
  template <class Accept>
  PPDXElement* First(Accept&& accept) {
    cursor_ = NextFrom(0, accept);
    return At(cursor_);
  }
  template <class Accept>
  PPDXElement* Next(Accept&& accept) {
    if (cursor_ != npos) cursor_ = NextFrom(cursor_ + 1, accept);
    return At(cursor_);
  }

 private:
  // One slot of the index: the position of an element + 1 (0 for an empty slot) and the hash of
  // its keyword.
  struct Slot {
    uint32_t position = 0;
    uint32_t hash = 0;
  };
  static uint32_t Hash(std::string_view text) {
    return static_cast<uint32_t>(std::hash<std::string_view>{}(text));
  }
  void Index(size_t position, uint32_t hash);
  void Grow();

  bool owning_;
  std::vector<PPDXElement*> items_;  // list order; deleted with the list when it owns them
  std::vector<Slot> slots_;          // the keyword index; a power of two in size, at most half full
  size_t mask_ = 0;
  size_t indexed_ = 0;  // elements with a keyword
  size_t cursor_ = npos;
};
