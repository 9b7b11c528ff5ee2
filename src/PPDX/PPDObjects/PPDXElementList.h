// PPDXElementList: the ordered element list behind every container of the PPD tree, with a
// keyword index and one cursor.
//
// A list either owns its elements (it deletes them when it goes) or only points to elements that
// another list owns; a borrowing list must not outlive the list that owns its elements. Exact
// keyword lookups go through a hash index from keyword to the positions that carry it, in list
// order, so a lookup costs the few elements of that keyword instead of a walk of the whole list.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
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
    if (keyword == nullptr) return npos;
    auto found = index_.find(std::string_view(keyword));
    if (found == index_.end()) return npos;
    const std::vector<size_t>& positions = found->second;  // ascending
    for (auto it = std::lower_bound(positions.begin(), positions.end(), from);
         it != positions.end(); ++it) {
      if (accept(*items_[*it])) return *it;
    }
    return npos;
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
  struct KeywordHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };

  bool owning_;
  std::vector<PPDXElement*> items_;                      // list order
  std::vector<std::unique_ptr<PPDXElement>> owned_;      // owning lists only
  std::unordered_set<PPDXElement const*> ownedMembers_;  // owning lists only
  std::unordered_map<std::string, std::vector<size_t>, KeywordHash, std::equal_to<>> index_;
  size_t cursor_ = npos;
};
