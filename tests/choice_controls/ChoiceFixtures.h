// Helpers of the choice and numeric control tests: controls made the way the parser makes them
// (flags, items and codes handed over as raw owned pointers), feature blocks read back through
// an exactly sized buffer, and a constraint store whose current choices can be asked for.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "PPDX/PPDObjects/Controls/PPDXControl.h"
#include "PPDX/PPDObjects/Controls/PPDXPopupControl.h"
#include "PPDX/PPDObjects/Controls/PopupItem.h"
#include "constraints/UIConstraints.h"
#include "foundation/CString.h"
#include "foundation/PointerList.h"

namespace choice_test {

// A malloc'd copy of the text, as the parser hands code over; null for an empty text.
inline unsigned char* MallocCode(std::string_view text) {
  if (text.empty()) return nullptr;
  auto* code = static_cast<unsigned char*>(std::malloc(text.size()));
  std::memcpy(code, text.data(), text.size());
  return code;
}

struct ItemSpec {
  const char* keyword;
  std::optional<std::string> name;
  std::string code;
};

inline _PopupItem* NewItem(const ItemSpec& wanted) {
  return new _PopupItem(wanted.keyword, wanted.name, MallocCode(wanted.code),
                        static_cast<long>(wanted.code.size()));
}

// A flag list of CString* made with new, as the control takes it.
inline PointerList Flags(const std::vector<const char*>& words) {
  PointerList flags;
  for (const char* word : words) flags.PushBack(new CString(word));
  return flags;
}

inline std::unique_ptr<PPDXPopupControl> MakePopup(const char* keyword,
                                                   const std::vector<ItemSpec>& items,
                                                   const char* defaultKeyword,
                                                   bool multipleChoice = false,
                                                   UIConstraints* constraints = nullptr) {
  PointerList flags;
  PointerList list;
  for (const auto& wanted : items) list.PushBack(NewItem(wanted));
  return std::make_unique<PPDXPopupControl>(
      keyword, "Name", flags, true, multipleChoice, false, list,
      defaultKeyword ? new CString(defaultKeyword) : nullptr, constraints);
}

// The three-item paper list used by most popup tests.
inline std::vector<ItemSpec> PaperItems() {
  return {{"Letter", "US Letter", "<</PageSize[612 792]>>setpagedevice\n"},
          {"A4", "A4", "<</PageSize[595 842]>>setpagedevice\n"},
          {"Legal", "US Legal", ""}};
}

// Writes what `write` produces into a buffer of exactly the size it reports for a null buffer
// (so a write past the count shows under the sanitizers), and checks both counts agree.
template <typename Write>
std::string Written(Write write) {
  const long size = write(nullptr);
  std::vector<unsigned char> buffer(static_cast<size_t>(size));
  const long written = write(buffer.data());
  EXPECT_EQ(written, size);
  return std::string(buffer.begin(), buffer.end());
}

inline std::string FeatureOf(PPDXControl& control) {
  return Written([&](unsigned char* out) { return control.PostScript(out); });
}

// A constraint store that answers which option a key currently holds: each watched pair gets a
// probe key that is constrained exactly while the key holds that option.
class WatchedStore {
 public:
  explicit WatchedStore(const std::vector<std::pair<std::string, std::string>>& watched) {
    for (const auto& [key, option] : watched) {
      ui.Add(ProbeFor(key, option).c_str(), "On", key.c_str(), option.c_str(), false);
    }
  }
  bool Holds(const std::string& key, const std::string& option) {
    return ui.IsKVConstrained(ProbeFor(key, option).c_str(), "On");
  }
  UIConstraints ui;

 private:
  static std::string ProbeFor(const std::string& key, const std::string& option) {
    return "*Probe" + key + "=" + option;
  }
};

}  // namespace choice_test
